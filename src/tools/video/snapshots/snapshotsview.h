#pragma once

#include "toolkit/toolview.h"
#include "tools/video/snapshots/snapshotshots.h"

#include <QImage>
#include <QList>
#include <QPair>

class QHBoxLayout;
class SecondaryButton;
class Timeline;
class VideoModel;

// The Video Snapshots window: the video's preview, a button taking the current moment, the
// moments taken as thumbnails (removable) and timeline markers; Save grabs each at full size.
// Thumbnails are grabbed one at a time in the order taken, and no more once the window closes.
class SnapshotsView : public ToolView
{
    Q_OBJECT
  public:
    explicit SnapshotsView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);

    VideoModel& model() const { return *m_model; }
    const SnapshotShots& shots() const { return m_shots; }
    Timeline* timeline() const { return m_timeline; }
    SecondaryButton* takeButton() const { return m_take; }
    QWidget* strip() const { return m_strip; }
    // Whether a thumbnail grab is running or waiting.
    bool isGrabbing() const { return m_grabbing || !m_waiting.isEmpty(); }

    // Pauses and adds the current moment.
    void take();
    void remove(int index);

  protected:
    void apply() override;

  private:
    void grabNext();
    void refresh();

    VideoModel* m_model;
    Timeline* m_timeline;
    SecondaryButton* m_take;
    QWidget* m_strip;
    QHBoxLayout* m_row;
    SnapshotShots m_shots;
    // Takes whose thumbnail is still to be grabbed: position and time.
    QList<QPair<int, double>> m_waiting;
    bool m_grabbing = false;
};
