#include "toolkit/swatch.h"

#include "toolkit/theme.h"

#include <QPainter>
#include <QPainterPath>

Swatch::Swatch(const QBrush& fill, int side, QWidget* parent)
    : QAbstractButton(parent), m_fill(fill), m_side(side)
{
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(sizeHint());
}

void Swatch::setSelected(bool selected)
{
    if (selected == m_selected) return;
    m_selected = selected;
    update();
}

void Swatch::paint(QPainter& painter, const QRectF& rect, const QBrush& fill, bool selected)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF chip = rect.adjusted(2, 2, -2, -2);
    QPainterPath shape;
    shape.addRoundedRect(chip, 9, 9);
    QBrush brush = fill;
    if (const QGradient* g = fill.gradient()) {
        QGradient relative = *g; // QLinearGradient and the others add no data of their own
        relative.setCoordinateMode(QGradient::ObjectMode);
        brush = QBrush(relative);
    }
    painter.fillPath(shape, brush);
    painter.strokePath(shape, QPen(QColor::fromRgbF(1, 1, 1, 0.5f), 0.75));
    if (selected) {
        QPainterPath ring;
        ring.addRoundedRect(rect.adjusted(1.25, 1.25, -1.25, -1.25), 11, 11);
        painter.strokePath(ring, QPen(Theme::orange(), 2.5));
    }
    painter.restore();
}

void Swatch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, rect(), m_fill, m_selected);
}
