#pragma once

#include <QColor>
#include <QList>
#include <QRectF>
#include <QWidget>
#include <optional>
#include <utility>

class QPainter;

// Peak buckets drawn as rounded bars across the whole widget, centred vertically, each as tall
// as its peak (at least 1.5 points); bars outside the span `dim` (fractions of the whole) are
// faint. Fills the size it is given.
class WaveformView : public QWidget
{
    Q_OBJECT
  public:
    using Span = std::optional<std::pair<double, double>>;

    struct Bar
    {
        QRectF rect;
        double radius = 0;
        double opacity = 1;
    };

    explicit WaveformView(const QColor& colour, QWidget* parent = nullptr);

    const QList<float>& samples() const { return m_samples; }
    void setSamples(const QList<float>& samples);
    void setColour(const QColor& colour);
    void setDim(const Span& dim);
    // Blank space above and below the bars, and left and right of them.
    void setPadding(double vertical, double horizontal = 0);

    // Peak amplitudes scaled for drawing: the loudest at 1, the others in proportion; all-silent
    // samples stay as they are.
    static QList<float> fitted(const QList<float>& samples);
    // The bars of `samples` in an area of `size` with its origin at 0, 0: bucket i spans the
    // middle 60 % of its step (never narrower than 1 point).
    static QList<Bar> bars(const QList<float>& samples, QSizeF size, const Span& dim);
    static void paint(QPainter& painter, const QRectF& area, const QList<float>& samples,
                      const QColor& colour, const Span& dim);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QList<float> m_samples;
    QColor m_colour;
    Span m_dim;
    double m_vertical = 0;
    double m_horizontal = 0;
};
