#pragma once

#include "engines/media/toolchoices.h"
#include "toolkit/toolview.h"

class Checkbox;
class QLabel;
class SecondaryButton;
class Timeline;
class TransportBar;
class VideoModel;

// The Trim Video window: the first file's preview, the part to keep marked by the timeline's
// handles (the whole video once its length is known), and a fast trim on key frames; Apply
// cuts every dropped file to the same times, one file after another.
class TrimVideoView : public ToolView
{
    Q_OBJECT
  public:
    explicit TrimVideoView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);

    VideoModel& model() const { return *m_model; }
    TimeRange range() const { return m_range; }
    void setRange(const TimeRange& range);
    Timeline* timeline() const { return m_timeline; }
    TransportBar* transport() const { return m_transport; }
    Checkbox* fastBox() const { return m_fast; }
    SecondaryButton* resetButton() const { return m_reset; }
    QLabel* selectedText() const { return m_selected; }
    QLabel* startText() const { return m_start; }
    QLabel* endText() const { return m_end; }

  protected:
    void apply() override;

  private:
    QWidget* boundsRow();
    void reset();

    VideoModel* m_model;
    TimeRange m_range;
    Timeline* m_timeline;
    TransportBar* m_transport;
    Checkbox* m_fast;
    SecondaryButton* m_reset;
    QLabel* m_selected;
    QLabel* m_start;
    QLabel* m_end;
};
