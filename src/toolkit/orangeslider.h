#pragma once

#include <QWidget>
#include <optional>

// A slider over a range of doubles in the kit's orange look: a track, a fill from the leading
// end (or, centred, from the position of 0) to the knob, and a round knob. A press anywhere on
// it moves the knob there; values snap to whole multiples of the step counted from 0, then stay
// in the range. It shows the value it is given and reports the user's edits.
class OrangeSlider : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int height = 22;

    struct State
    {
        double value = 0, lo = 0, hi = 1;
        std::optional<double> step;
        bool centered = false;
    };

    explicit OrangeSlider(QWidget* parent = nullptr);

    State state() const { return m_state; }
    double value() const { return m_state.value; }
    void setValue(double value);
    void setRange(double lo, double hi);
    void setStep(std::optional<double> step);
    void setCentered(bool centered);
    QSize sizeHint() const override { return QSize(160, height); }

    // The value's place along the range, unclamped; 0 for a range of one point.
    static double fraction(double value, double lo, double hi);
    // The knob's centre for a fraction in a slider `width` wide: 10 at 0, width − 10 at 1.
    static double knobX(double width, double fraction);
    // Where the value 0 sits, unclamped.
    static double zeroX(double width, double lo, double hi);
    // The value a press at `x` writes.
    static double valueAt(double x, double width, const State& state);
    static void paint(QPainter& painter, double width, const State& state);

  signals:
    // Each change of a press or drag, with the value written (also when unchanged).
    void edited(double value);
    // True with every change of a drag, false when it ends.
    void editingChanged(bool editing);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void dragTo(double x);

    State m_state;
    bool m_dragging = false;
};
