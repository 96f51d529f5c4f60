#pragma once

#include "engines/media/toolchoices.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QWidget>

class QPainter;

// The Audio Visualizer window's still preview: the frame of the chosen shape, fitted into the
// area 12 points in, showing the background picture (covering the frame) or black, with the
// first file's waveform across its middle in the chosen colour.
class VisualizerPreview : public QWidget
{
    Q_OBJECT
  public:
    static constexpr double padding = 12;
    static constexpr double waveInset = 16;

    struct State
    {
        QList<float> samples;
        VisualShape shape = VisualShape::landscape;
        VisualStyle style = VisualStyle::wave;
        QColor colour;
        QImage background; // null: black
    };

    explicit VisualizerPreview(QWidget* parent = nullptr);

    const State& state() const { return m_state; }
    void setState(const State& state);

    // Where the frame is drawn in an area of `size`.
    static QRectF frame(QSizeF size, VisualShape shape);
    // The waveform's height: 70 points for a wide frame, 80 otherwise.
    static double waveHeight(VisualShape shape);
    // The peaks as drawn: halved for the line style.
    static QList<float> shown(const QList<float>& samples, VisualStyle style);
    static void paint(QPainter& painter, QSizeF size, const State& state);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    State m_state;
};
