#include "tools/video/trim/trimvideoview.h"

#include "core/fmt.h"
#include "toolkit/checkbox.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"
#include "toolkit/video/timeline.h"
#include "toolkit/video/transportbar.h"
#include "toolkit/video/videomodel.h"
#include "toolkit/video/videopreview.h"
#include "tools/video/trim/trimvideowork.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

QLabel* readout(const QColor& colour)
{
    auto* label = new TextLabel(QString(), 12, QFont::Normal, colour);
    QFont f = label->font();
    f.setFamily(QStringLiteral("monospace"));
    f.setStyleHint(QFont::Monospace);
    label->setFont(f);
    return label;
}

} // namespace

TrimVideoView::TrimVideoView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : ToolView(std::move(context), parent), m_model(new VideoModel(this->context().urls().value(0), this)),
      m_timeline(new Timeline(*m_model)), m_transport(new TransportBar(*m_model)),
      m_fast(new Checkbox(QStringLiteral("Fast trim (cuts on keyframes, no re-encoding)"))),
      m_reset(new SecondaryButton(QStringLiteral("Reset"))), m_selected(readout(Theme::ink())),
      m_start(readout(Theme::ink())), m_end(readout(Theme::ink()))
{
    addSource(m_model);
    column()->setSpacing(12);
    column()->addWidget(new VideoPreview(*m_model), 1);
    column()->addWidget(m_timeline);
    auto* playRow = new QHBoxLayout;
    playRow->addWidget(m_transport);
    playRow->addStretch(1);
    playRow->addWidget(m_selected);
    column()->addLayout(playRow);
    column()->addWidget(boundsRow());
    footer()->addWidget(m_reset);
    primary(QStringLiteral("Apply"));

    connect(m_timeline, &Timeline::rangeEdited, this, &TrimVideoView::setRange);
    connect(m_reset, &SecondaryButton::clicked, this, &TrimVideoView::reset);
    // The whole video is selected as soon as its length is known.
    connect(m_model, &VideoModel::durationChanged, this, &TrimVideoView::reset);
    connect(this, &FramedView::closed, m_model, &VideoModel::pause);
    setPrimaryAllowed(false);
    reset();
}

QWidget* TrimVideoView::boundsRow()
{
    auto* owner = new QWidget;
    auto* row = new QHBoxLayout(owner);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_start);
    row->addStretch(1);
    row->addWidget(m_fast);
    row->addStretch(1);
    row->addWidget(m_end);
    return owner;
}

void TrimVideoView::setRange(const TimeRange& range)
{
    m_range = range;
    m_timeline->setRange(range);
    m_transport->setRange(range);
    m_selected->setText(Fmt::time(range.end - range.start, true) + QStringLiteral(" selected"));
    m_start->setText(QStringLiteral("Start ") + Fmt::time(range.start, true));
    m_end->setText(QStringLiteral("End ") + Fmt::time(range.end, true));
}

void TrimVideoView::reset()
{
    setRange({0, m_model->duration()});
    setPrimaryAllowed(m_model->duration() > 0);
}

void TrimVideoView::apply()
{
    m_model->pause();
    const TimeRange range = m_range;
    const bool fast = m_fast->isChecked();
    context().run(
        QStringLiteral("Trimming video"), std::nullopt,
        [range, fast](const QString& file, Job& job, const Progress& progress) {
            return ToolOps::trimVideo(file, range, fast, job, progress);
        },
        Jobs::Order::oneAfterAnother);
}
