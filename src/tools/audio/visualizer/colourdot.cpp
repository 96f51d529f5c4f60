#include "tools/audio/visualizer/colourdot.h"

#include "toolkit/theme.h"

#include <QPainter>

ColourDot::ColourDot(const QColor& colour, QWidget* parent) : QAbstractButton(parent), m_colour(colour)
{
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(sizeHint());
}

void ColourDot::setChosen(bool chosen)
{
    if (chosen == m_chosen) return;
    m_chosen = chosen;
    update();
}

void ColourDot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(rect()).center();
    painter.setBrush(m_colour);
    painter.setPen(QPen(QColor::fromRgbF(0, 0, 0, 0.15f), 0.5));
    painter.drawEllipse(centre, 10, 10);
    if (!m_chosen) return;
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Theme::orange(), 2));
    painter.drawEllipse(centre, 13, 13);
}
