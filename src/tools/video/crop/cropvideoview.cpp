#include "tools/video/crop/cropvideoview.h"

#include "core/fmt.h"
#include "toolkit/cropoverlay.h"
#include "toolkit/orangeslider.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/segmented.h"
#include "toolkit/symbolicon.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"
#include "toolkit/video/videomodel.h"
#include "tools/video/crop/cropvideosizes.h"
#include "tools/video/crop/cropvideostage.h"
#include "tools/video/crop/cropvideowork.h"

#include <QHBoxLayout>
#include <algorithm>

namespace {

// The window never plays, so its model needs no player: only the probe and ffmpeg's stills.
VideoModel::Backend stillsOnly()
{
    VideoModel::Backend backend = VideoModel::Backend::standard();
    backend.player = nullptr;
    return backend;
}

QLabel* monospaced(double pixels, const QColor& colour)
{
    auto* label = new TextLabel(QString(), pixels, QFont::Normal, colour);
    QFont f = label->font();
    f.setFamily(QStringLiteral("monospace"));
    f.setStyleHint(QFont::Monospace);
    label->setFont(f);
    return label;
}

} // namespace

CropVideoView::CropVideoView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : ToolView(std::move(context), parent),
      m_model(new VideoModel(this->context().urls().value(0), stillsOnly(), this)),
      m_stage(new CropVideoStage), m_aspects(new Segmented), m_size(monospaced(12, Theme::ink())),
      m_scrub(new OrangeSlider), m_time(monospaced(11, Theme::inkSoft())),
      m_reset(new SecondaryButton(QStringLiteral("Reset")))
{
    addSource(m_model);
    QStringList labels;
    for (CropAspect a : CropVideoSizes::offeredAspects())
        labels << rawValue(a);
    m_aspects->setOptions(labels);

    column()->setSpacing(12);
    column()->addWidget(m_stage, 1);
    auto* aspectRow = new QHBoxLayout;
    aspectRow->addWidget(new TextLabel(QStringLiteral("Aspect ratio"), 12, QFont::Normal, Theme::inkSoft()));
    aspectRow->addStretch(1);
    aspectRow->addWidget(m_aspects);
    column()->addLayout(aspectRow);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(m_size);
    sizeRow->addStretch(1);
    column()->addLayout(sizeRow);
    auto* scrubRow = new QHBoxLayout;
    scrubRow->setSpacing(10);
    scrubRow->addWidget(new SymbolIcon(QStringLiteral("film"), 14, Theme::inkSoft()));
    scrubRow->addWidget(m_scrub, 1);
    scrubRow->addWidget(m_time);
    column()->addLayout(scrubRow);
    footer()->addWidget(m_reset);
    footer()->addStretch(1);
    primary(QStringLiteral("Apply"));

    connect(m_aspects, &Segmented::edited, this,
            [this](int i) { setAspect(CropVideoSizes::offeredAspects().value(i, CropAspect::free)); });
    connect(m_stage->overlay(), &CropOverlay::rectEdited, this, &CropVideoView::setRect);
    connect(m_scrub, &OrangeSlider::edited, this, &CropVideoView::scrubbed);
    connect(m_reset, &SecondaryButton::clicked, this, &CropVideoView::reset);
    connect(m_model, &VideoModel::pictureChanged, this, &CropVideoView::frameArrived);
    // Queued, so that the request comes after the model's own first still and supersedes it.
    connect(
        m_model, &VideoModel::durationChanged, this,
        [this] {
            m_scrub->setRange(0, std::max(m_model->duration(), 0.01));
            // The slider stands where the frame shown was taken.
            if (m_model->duration() > 0) scrubbed(m_model->duration() * 0.1);
        },
        Qt::QueuedConnection);
    m_scrub->setRange(0, 0.01);
    m_scrub->setStep(std::nullopt);
    setPrimaryAllowed(false);
    refresh();
}

QSizeF CropVideoView::pixelSize() const
{
    const Media::Probe& p = m_model->probe();
    return CropVideoSizes::pixelSize(m_stage->frame().size(), QSize(p.width, p.height));
}

void CropVideoView::loadFrame(double seconds)
{
    m_model->loadStill(seconds);
}

void CropVideoView::frameArrived()
{
    // A failed grab keeps the frame shown before it.
    if (m_model->still().isNull()) return;
    m_stage->setFrame(m_model->still());
    setPrimaryAllowed(true);
    refresh();
}

void CropVideoView::scrubbed(double seconds)
{
    m_scrub->setValue(seconds);
    refresh();
    loadFrame(seconds);
}

void CropVideoView::setRect(const QRectF& rect)
{
    m_rect = rect;
    refresh();
}

void CropVideoView::setAspect(CropAspect aspect)
{
    m_aspect = aspect;
    // Free keeps the rectangle as it is; a ratio fits the largest such rectangle around it.
    if (const std::optional<double> r = ratio(aspect)) m_rect = CropGeometry::fit(r, pixelSize(), m_rect);
    refresh();
}

void CropVideoView::reset()
{
    setAspect(CropAspect::free);
    setRect({0, 0, 1, 1});
}

void CropVideoView::refresh()
{
    const QSizeF pixels = pixelSize();
    m_aspects->setSelected(int(CropVideoSizes::offeredAspects().indexOf(m_aspect)));
    m_stage->overlay()->setLimits({pixels, ratio(m_aspect), 0.03});
    m_stage->overlay()->setUnitRect(m_rect);
    m_size->setText(CropVideoSizes::sizeLabel(CropVideoSizes::outputSize(m_rect, pixels)));
    m_time->setText(Fmt::time(m_scrub->value(), true));
}

void CropVideoView::apply()
{
    const QRectF rect = m_rect;
    context().run(
        QStringLiteral("Cropping video"), std::nullopt,
        [rect](const QString& file, Job& job, const Progress& progress) {
            return ToolOps::cropVideo(file, rect, job, progress);
        },
        Jobs::Order::oneAfterAnother);
}
