#pragma once

#include "engines/media/toolchoices.h"

#include <QWidget>
#include <optional>

class QAbstractButton;
class QLabel;
class VideoModel;

// One-frame steps, play/pause and the time readout under a video's timeline. With a range,
// playback stays inside it (the window passes its selection); without, it runs to the end of
// the media. The play button is disabled and faded while the file cannot be played.
class TransportBar : public QWidget
{
    Q_OBJECT
  public:
    explicit TransportBar(VideoModel& model, QWidget* parent = nullptr);

    void setRange(const std::optional<TimeRange>& range) { m_range = range; }

    QAbstractButton* backButton() const { return m_back; }
    QAbstractButton* playButton() const { return m_play; }
    QAbstractButton* forwardButton() const { return m_forward; }
    QLabel* timeText() const { return m_time; }
    QLabel* durationText() const { return m_duration; }

  private:
    void refresh();

    VideoModel& m_model;
    std::optional<TimeRange> m_range;
    QAbstractButton* m_back;
    QAbstractButton* m_play;
    QAbstractButton* m_forward;
    QLabel* m_time;
    QLabel* m_duration;
};
