#pragma once

#include "engines/media/toolchoices.h"
#include "toolkit/toolview.h"

#include <QList>

class Checkbox;
class QHBoxLayout;
class QLabel;
class SecondaryButton;
class Timeline;
class TransportBar;
class VideoModel;

// The Split Video window: split points dropped at the playhead cut the first file into clips,
// shown as chips with their lengths; Save writes each clip into a new folder, in one job.
class SplitVideoView : public ToolView
{
    Q_OBJECT
  public:
    explicit SplitVideoView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);

    VideoModel& model() const { return *m_model; }
    // The split points in the order they were added.
    const QList<double>& splits() const { return m_splits; }
    QList<TimeRange> sections() const;
    // Adds a split point at the playhead unless one lies within 0.05 s of it.
    void addSplit();
    void removeSplit(double seconds);
    void clearSplits();

    Timeline* timeline() const { return m_timeline; }
    TransportBar* transport() const { return m_transport; }
    SecondaryButton* addButton() const { return m_add; }
    SecondaryButton* clearButton() const { return m_clear; }
    Checkbox* fastBox() const { return m_fast; }
    // The chips' row: one label per clip, then one removal button per point.
    QWidget* chips() const { return m_chips; }

  protected:
    void apply() override;

  private:
    QWidget* controlRow();
    void refresh();
    void refreshChips();

    VideoModel* m_model;
    QList<double> m_splits;
    Timeline* m_timeline;
    TransportBar* m_transport;
    SecondaryButton* m_add;
    SecondaryButton* m_clear;
    Checkbox* m_fast;
    QWidget* m_chips;
    QHBoxLayout* m_chipRow;
};
