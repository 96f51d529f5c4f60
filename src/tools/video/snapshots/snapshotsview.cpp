#include "tools/video/snapshots/snapshotsview.h"

#include "toolkit/pools.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"
#include "toolkit/video/timeline.h"
#include "toolkit/video/transportbar.h"
#include "toolkit/video/videomodel.h"
#include "toolkit/video/videopreview.h"
#include "tools/video/snapshots/shottile.h"
#include "tools/video/snapshots/snapshotswork.h"

#include <QHBoxLayout>
#include <QScrollArea>

namespace {

constexpr double thumbSize = 240;

} // namespace

SnapshotsView::SnapshotsView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : ToolView(std::move(context), parent), m_model(new VideoModel(this->context().urls().value(0), this)),
      m_timeline(new Timeline(*m_model)), m_take(new SecondaryButton(QStringLiteral("Take Snapshot"))),
      m_strip(new QWidget), m_row(new QHBoxLayout(m_strip))
{
    addSource(m_model);
    column()->setSpacing(12);
    column()->addWidget(new VideoPreview(*m_model), 1);
    column()->addWidget(m_timeline);
    auto* playRow = new QHBoxLayout;
    playRow->addWidget(new TransportBar(*m_model));
    playRow->addStretch(1);
    playRow->addWidget(m_take);
    column()->addLayout(playRow);
    auto* scroll = new QScrollArea;
    scroll->setFixedHeight(70);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    scroll->viewport()->setAutoFillBackground(false);
    m_row->setContentsMargins(0, 0, 0, 0);
    m_row->setSpacing(8);
    scroll->setWidget(m_strip);
    m_strip->setAutoFillBackground(false); // the scroll area turned it on
    column()->addWidget(scroll);
    footer()->addStretch(1);
    primary(SnapshotShots::saveTitle(0));

    connect(m_take, &SecondaryButton::clicked, this, &SnapshotsView::take);
    connect(this, &FramedView::closed, m_model, &VideoModel::pause);
    refresh();
}

void SnapshotsView::take()
{
    // While playing, the playhead trails the player by up to a tick: read where it paused.
    const bool wasPlaying = m_model->isPlaying();
    m_model->pause();
    if (wasPlaying) m_model->tick();
    const double t = m_model->time();
    m_waiting.append({m_shots.take(t), t});
    refresh();
    grabNext();
}

void SnapshotsView::remove(int index)
{
    m_shots.remove(index);
    refresh();
}

// One grab at a time; a take removed (or moved) before its turn is not grabbed at all.
void SnapshotsView::grabNext()
{
    if (m_grabbing) return;
    while (!m_waiting.isEmpty() && !m_shots.holds(m_waiting.first().first, m_waiting.first().second))
        m_waiting.removeFirst();
    if (m_waiting.isEmpty()) return;
    const auto [index, time] = m_waiting.takeFirst();
    m_grabbing = true;
    Pools::deliver<QImage>(
        Pools::loader(), this,
        [frame = VideoModel::Backend::standard().frame, path = m_model->path(), time] {
            return frame(path, time, thumbSize);
        },
        [this, index, time](QImage thumb) {
            m_grabbing = false;
            if (m_shots.thumbArrived(index, time, thumb)) refresh();
            grabNext();
        });
}

void SnapshotsView::refresh()
{
    // Later, not now: the tile whose remove button was clicked is still handling the click.
    while (QLayoutItem* item = m_row->takeAt(0)) {
        if (QWidget* w = item->widget()) {
            w->hide();
            w->deleteLater();
        }
        delete item;
    }
    const QList<SnapshotShots::Shot>& shots = m_shots.shots();
    for (int i = 0; i < shots.size(); ++i) {
        auto* tile = new ShotTile(shots[i].time, shots[i].thumb);
        connect(tile, &ShotTile::removeClicked, this, [this, i] { remove(i); });
        m_row->addWidget(tile);
    }
    if (shots.isEmpty())
        m_row->addWidget(new TextLabel(
            QStringLiteral("Pause on a frame and take a snapshot. Use the frame buttons to step precisely."),
            12, QFont::Normal, Theme::inkSoft()));
    m_row->addStretch(1);
    m_timeline->setMarkers(m_shots.times());
    primary(SnapshotShots::saveTitle(m_shots.count()));
    setPrimaryAllowed(!m_shots.isEmpty());
}

void SnapshotsView::apply()
{
    m_model->pause();
    const QString file = m_model->path();
    const QList<double> times = m_shots.times();
    context().runOnce(QStringLiteral("Saving snapshots"), SnapshotShots::detail(int(times.size())),
                      [file, times](Job& job, const Progress& progress) {
                          return ToolOps::snapshots(file, times, job, progress);
                      });
}
