#pragma once

#include <QList>
#include <QWidget>
#include <optional>
#include <utility>

class QPainter;

// A waveform with a selection from a start to an end handle, the audio outside it dimmed, and
// a playhead. Dragging a handle moves its end of the selection within 0…duration, never closer
// than minGap to the other end; with no duration the handles sit at the edges and do nothing.
// The window owns the range: it hears edited() and sets the range back.
class RangeWaveform : public QWidget
{
    Q_OBJECT
  public:
    static constexpr double minGap = 0.05;
    static constexpr double handleFrame = 22; // the grab area of a handle
    static constexpr double handleBar = 14;   // the drawn bar, inside the selection

    struct State
    {
        QList<float> samples;
        double duration = 0;
        double start = 0, end = 0;
        std::optional<double> playhead;
    };

    explicit RangeWaveform(QWidget* parent = nullptr);

    const State& state() const { return m_state; }
    void setSamples(const QList<float>& samples);
    void setDuration(double duration);
    void setRange(double start, double end);
    void setPlayhead(std::optional<double> seconds);

    // The selection's edges in points across `width`; the whole width without a duration.
    static std::pair<double, double> edges(const State& state, double width);
    // The range after a handle (`leading` for the start) grabbed at `grabbed` seconds was dragged
    // `dx` points across `width`; none when nothing can move.
    static std::optional<std::pair<double, double>> dragged(const State& state, double grabbed, double dx,
                                                            double width, bool leading);
    // Which handle a press at `x` takes: the end handle, drawn in front, first.
    static std::optional<bool> handleAt(const State& state, double x, double width);
    static void paint(QPainter& painter, QSizeF size, const State& state);

  signals:
    // A drag moved the selection.
    void edited(double start, double end);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    State m_state;
    // The handle under drag, where the press was and its value then.
    struct Grab
    {
        bool leading;
        double pressX;
        double value;
    };
    std::optional<Grab> m_grab;
};
