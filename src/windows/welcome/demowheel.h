#pragma once

#include <QWidget>

class WheelModel;

// The welcome window's left column: the warm gradient with a wheel drawn on it at 0.82 of its
// size about the column's centre, at rest.
class DemoWheel : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int columnWidth = 290;
    static constexpr double scale = 0.82;

    // Shows `model`, which outlives the widget.
    explicit DemoWheel(const WheelModel* model, QWidget* parent = nullptr);

    // The column's gradient over `rect`, from its top-left corner to its bottom-right one.
    static QLinearGradient gradient(const QRectF& rect);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const WheelModel* m_model;
};
