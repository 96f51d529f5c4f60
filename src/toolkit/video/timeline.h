#pragma once

#include "engines/media/toolchoices.h"

#include <QImage>
#include <QList>
#include <QWidget>
#include <optional>

class VideoModel;

// The strip of thumbnails under a video's preview: a click or drag on it scrubs (paused), and
// it can show the window's range with two handles and the window's split markers. The range
// belongs to the window: the timeline shows what it is given and reports handle drags through
// rangeEdited(), having already paused and sought the model to the dragged bound.
class Timeline : public QWidget
{
    Q_OBJECT
  public:
    // Room kept around the strip for the playhead's overhang and the handles' outer reach.
    static constexpr double inset = 4;

    struct State
    {
        double width = 0; // of the strip
        double duration = 0;
        double time = 0;
        QList<QImage> thumbs;
        std::optional<TimeRange> range;
        QList<double> markers;
    };

    explicit Timeline(VideoModel& model, QWidget* parent = nullptr);

    void setRange(const std::optional<TimeRange>& range);
    void setMarkers(const QList<double>& markers);
    State state() const;
    // Where the strip starts inside the widget.
    static QPointF origin() { return {inset, inset}; }

    // The strip and its layers, drawn from the strip's top-left corner.
    static void paint(QPainter& painter, const State& state);

  signals:
    void rangeEdited(const TimeRange& range);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    enum class Grip { none, scrub, leading, trailing };

    void follow(QMouseEvent* event);

    VideoModel& m_model;
    std::optional<TimeRange> m_range;
    QList<double> m_markers;
    Grip m_grip = Grip::none;
    double m_grab = 0;   // the bound when a handle drag began
    double m_pressX = 0; // global x where it began
};
