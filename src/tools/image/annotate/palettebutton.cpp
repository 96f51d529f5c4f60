#include "tools/image/annotate/palettebutton.h"

#include "toolkit/theme.h"

#include <QPainter>

PaletteButton::PaletteButton(const QColor& color, QWidget* parent) : QAbstractButton(parent), m_color(color)
{
    setFixedSize(sizeHint());
    setFocusPolicy(Qt::NoFocus);
}

void PaletteButton::setCurrent(bool current)
{
    if (current == m_current) return;
    m_current = current;
    update();
}

void PaletteButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(rect()).center();
    painter.setBrush(m_color);
    painter.setPen(QPen(QColor(0, 0, 0, 38), 0.5));
    painter.drawEllipse(centre, 9, 9);
    if (m_current) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Theme::orange(), 2));
        painter.drawEllipse(centre, 10, 10);
    }
}
