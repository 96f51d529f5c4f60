#include "tools/video/split/splitvideoview.h"

#include "core/fmt.h"
#include "toolkit/checkbox.h"
#include "toolkit/primarybutton.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"
#include "toolkit/video/timeline.h"
#include "toolkit/video/transportbar.h"
#include "toolkit/video/videomodel.h"
#include "toolkit/video/videopreview.h"
#include "tools/video/split/splitpointbutton.h"
#include "tools/video/split/splitsections.h"
#include "tools/video/split/splitvideowork.h"

#include <QHBoxLayout>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

SplitVideoView::SplitVideoView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : ToolView(std::move(context), parent), m_model(new VideoModel(this->context().urls().value(0), this)),
      m_timeline(new Timeline(*m_model)), m_transport(new TransportBar(*m_model)),
      m_add(new SecondaryButton(QStringLiteral("Add Split"), QStringLiteral("scissors"))),
      m_clear(new SecondaryButton(QStringLiteral("Clear Splits"))),
      m_fast(new Checkbox(QStringLiteral("Fast split (cuts on keyframes, no re-encoding)"))),
      m_chips(new QWidget), m_chipRow(new QHBoxLayout(m_chips))
{
    addSource(m_model);
    column()->setSpacing(12);
    column()->addWidget(new VideoPreview(*m_model), 1);
    column()->addWidget(m_timeline);
    column()->addWidget(controlRow());

    m_chipRow->setContentsMargins(0, 0, 0, 0);
    m_chipRow->setSpacing(6);
    auto* scroll = new QScrollArea;
    scroll->setWidget(m_chips);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setFixedHeight(26);
    scroll->setStyleSheet(QStringLiteral("background: transparent;"));
    column()->addWidget(scroll);
    column()->addWidget(m_fast);

    footer()->addWidget(m_clear);
    primary(QStringLiteral("Save 0 Clips"));

    connect(m_add, &SecondaryButton::clicked, this, &SplitVideoView::addSplit);
    connect(m_clear, &SecondaryButton::clicked, this, &SplitVideoView::clearSplits);
    connect(m_model, &VideoModel::durationChanged, this, &SplitVideoView::refresh);
    connect(m_model, &VideoModel::timeChanged, this,
            [this] { m_add->setEnabled(SplitSections::canSplitAt(m_model->time(), m_model->duration())); });
    connect(this, &FramedView::closed, m_model, &VideoModel::pause);
    refresh();
}

QWidget* SplitVideoView::controlRow()
{
    auto* owner = new QWidget;
    auto* row = new QHBoxLayout(owner);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_transport);
    row->addStretch(1);
    row->addWidget(m_add);
    return owner;
}

QList<TimeRange> SplitVideoView::sections() const
{
    return SplitSections::sections(m_splits, m_model->duration());
}

void SplitVideoView::addSplit()
{
    const double t = m_model->time();
    if (!SplitSections::isNew(m_splits, t)) return;
    m_splits.append(t);
    refresh();
}

void SplitVideoView::removeSplit(double seconds)
{
    m_splits.removeAll(seconds);
    refresh();
}

void SplitVideoView::clearSplits()
{
    m_splits.clear();
    refresh();
}

void SplitVideoView::refresh()
{
    const qsizetype count = sections().size();
    m_timeline->setMarkers(m_splits);
    m_add->setEnabled(SplitSections::canSplitAt(m_model->time(), m_model->duration()));
    m_clear->setEnabled(!m_splits.isEmpty());
    primary(count == 1 ? QStringLiteral("Save 1 Clip") : QStringLiteral("Save %1 Clips").arg(count));
    setPrimaryAllowed(count > 1);
    refreshChips();
}

void SplitVideoView::refreshChips()
{
    while (QLayoutItem* item = m_chipRow->takeAt(0)) {
        // A chip's own click may have led here: it goes once its click has returned.
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    const QList<TimeRange> clips = sections();
    for (qsizetype i = 0; i < clips.size(); ++i) {
        // Whole seconds of the length in hundredths, as the points read: 4.1 − 1.1 falls a hair
        // short of 3 and must not show as 0:02.
        const double length = std::round((clips[i].end - clips[i].start) * 100) / 100;
        const QString text = QStringLiteral("Clip %1 · %2").arg(i + 1).arg(Fmt::time(length, false));
        auto* chip = new TextLabel(text, 11.5, QFont::Medium, Theme::ink());
        chip->setFixedHeight(24);
        chip->setStyleSheet(
            QStringLiteral("background: rgba(255, 255, 255, 102); border-radius: 12px; padding: 0 9px;"));
        m_chipRow->addWidget(chip);
    }
    QList<double> points = m_splits;
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    for (double point : points) {
        auto* remove = new SplitPointButton(point);
        connect(remove, &SplitPointButton::clicked, this, [this, point] { removeSplit(point); });
        m_chipRow->addWidget(remove);
    }
    m_chipRow->addStretch(1);
}

void SplitVideoView::apply()
{
    m_model->pause();
    const QList<TimeRange> parts = sections();
    const bool fast = m_fast->isChecked();
    const QString file = context().urls().value(0);
    context().runOnce(QStringLiteral("Splitting video"), QStringLiteral("%1 clips").arg(parts.size()),
                      [file, parts, fast](Job& job, const Progress& progress) {
                          return ToolOps::splitVideo(file, parts, fast, job, progress);
                      });
}
