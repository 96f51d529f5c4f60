#include "tools/image/crop/cropimageview.h"

#include "core/progress.h"
#include "toolkit/cropoverlay.h"
#include "toolkit/imagesource.h"
#include "toolkit/layouts.h"
#include "toolkit/numberfield.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/segmented.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"
#include "tools/image/crop/cropimage.h"
#include "tools/image/crop/cropmodel.h"
#include "tools/image/crop/cropstage.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

// The presets offered, in this order; 4:5 is not among them.
const QList<CropAspect> offered = {CropAspect::free, CropAspect::square,    CropAspect::wide,
                                   CropAspect::tall, CropAspect::fourThree, CropAspect::threeFour};

} // namespace

CropImageView::CropImageView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : ToolView(std::move(context), parent),
      m_source(new ImageSource(this->context().urls().value(0), previewSize, this)),
      m_model(new CropModel(this)), m_stage(new CropStage(*m_source)),
      m_reset(new SecondaryButton(QStringLiteral("Reset")))
{
    addSource(m_source);
    column()->setSpacing(14);
    column()->addWidget(m_stage, 1);
    column()->addWidget(aspectRow());
    column()->addWidget(sizeRow());
    footer()->addWidget(m_reset);
    primary(QStringLiteral("Apply"));

    connect(m_reset, &SecondaryButton::clicked, m_model, &CropModel::reset);
    connect(m_model, &CropModel::rectChanged, this, &CropImageView::showRect);
    connect(m_model, &CropModel::aspectChanged, this, &CropImageView::showAspect);
    connect(m_stage->overlay(), &CropOverlay::rectEdited, m_model, &CropModel::setRect);
    connect(m_source, &ImageSource::fullChanged, this, &CropImageView::loaded);
    showAspect();
    showRect();
}

QWidget* CropImageView::aspectRow()
{
    auto* owner = new QWidget;
    QHBoxLayout* layout = Layouts::row(owner, 8);
    layout->addWidget(new TextLabel(QStringLiteral("Aspect ratio"), 12, QFont::Normal, Theme::inkSoft()));
    layout->addStretch(1);
    QStringList labels;
    for (CropAspect aspect : offered)
        labels << rawValue(aspect);
    m_aspects = new Segmented(labels);
    layout->addWidget(m_aspects);
    connect(m_aspects, &Segmented::edited, this,
            [this](int i) { m_model->setAspect(offered.value(i), fullSize()); });
    return owner;
}

QWidget* CropImageView::sizeRow()
{
    auto* owner = new QWidget;
    QHBoxLayout* layout = Layouts::row(owner, 8);
    m_width = new NumberField(QStringLiteral("W"), 64);
    m_height = new NumberField(QStringLiteral("H"), 64);
    layout->addWidget(m_width);
    layout->addWidget(m_height);
    layout->addWidget(new TextLabel(QStringLiteral("px"), 11, QFont::Normal, Theme::inkSoft()));
    layout->addStretch(1);
    const qsizetype files = context().urls().size();
    if (files >= 2) {
        m_count = new TextLabel(QStringLiteral("Same crop for %1 images").arg(files), 11, QFont::Normal,
                                Theme::inkSoft());
        layout->addWidget(m_count);
    }
    // A typed size may leave the rectangle as it was; the fields then show it again.
    connect(m_width, &NumberField::edited, this, [this](qint64 n) {
        m_model->setRect(CropModel::typedWidth(m_model->rect(), n, fullSize(), ratio(m_model->aspect())));
        showRect();
    });
    connect(m_height, &NumberField::edited, this, [this](qint64 n) {
        m_model->setRect(CropModel::typedHeight(m_model->rect(), n, fullSize(), ratio(m_model->aspect())));
        showRect();
    });
    return owner;
}

QSize CropImageView::fullSize() const
{
    return m_source->full().size();
}

// A preset chosen while the picture was loading fits the rectangle once its size is known.
void CropImageView::loaded()
{
    if (const std::optional<double> q = ratio(m_model->aspect()))
        m_model->setRect(CropGeometry::fit(q, QSizeF(fullSize()), m_model->rect()));
    showAspect();
    showRect();
}

void CropImageView::showRect()
{
    const QRectF r = m_model->rect();
    const QSize full = fullSize();
    m_stage->overlay()->setUnitRect(r);
    m_width->setValue(CropModel::pixels(r.width(), full.width()));
    m_height->setValue(CropModel::pixels(r.height(), full.height()));
}

void CropImageView::showAspect()
{
    m_aspects->setSelected(int(offered.indexOf(m_model->aspect())));
    m_stage->overlay()->setLimits({QSizeF(fullSize()), ratio(m_model->aspect()), minSide});
}

void CropImageView::apply()
{
    const QRectF rect = m_model->rect();
    context().run(QStringLiteral("Cropping image"), std::nullopt,
                  [rect](const QString& file, Job& job, const Progress& progress) {
                      return CropImage::cropFile(file, rect, job, progress);
                  });
}
