#pragma once

#include <QAbstractButton>
#include <QBrush>

// A square chip of a colour or a gradient with rounded corners, and an orange ring around it
// while selected; it takes the same room selected or not.
class Swatch : public QAbstractButton
{
    Q_OBJECT
  public:
    // A gradient fill is given over the unit square and stretched over the chip.
    Swatch(const QBrush& fill, int side, QWidget* parent = nullptr);
    QSize sizeHint() const override { return QSize(m_side + 4, m_side + 4); }

    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);

    static void paint(QPainter& painter, const QRectF& rect, const QBrush& fill, bool selected);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const QBrush m_fill;
    const int m_side;
    bool m_selected = false;
};
