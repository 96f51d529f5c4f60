#include "tools/image/frame/backdroptile.h"

#include "toolkit/theme.h"

#include <QPainter>
#include <QPainterPath>

BackdropTile::BackdropTile(const QColor& colour, QWidget* parent) : QAbstractButton(parent), m_colour(colour)
{
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(38, 38);
    setCursor(Qt::PointingHandCursor);
}

void BackdropTile::setSelected(bool selected)
{
    if (selected == m_selected) return;
    m_selected = selected;
    update();
}

void BackdropTile::setColour(const QColor& colour)
{
    if (colour == m_colour) return;
    m_colour = colour;
    update();
}

void BackdropTile::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF face = QRectF(rect()).adjusted(2, 2, -2, -2);
    QPainterPath chip;
    chip.addRoundedRect(face, 9, 9);
    if (m_colour.isValid()) {
        painter.fillPath(chip, m_colour);
        painter.strokePath(chip, QPen(QColor::fromRgbF(1, 1, 1, 0.5f), 0.75));
    } else {
        painter.fillPath(chip, QColor::fromRgbF(1, 1, 1, 0.4f));
        // A small landscape with a plus at its corner.
        const QRectF photo(face.center().x() - 8, face.center().y() - 6, 14, 11);
        QPen pen(Theme::ink(), 1.4);
        pen.setJoinStyle(Qt::RoundJoin);
        pen.setCapStyle(Qt::RoundCap);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(photo, 2, 2);
        painter.drawPolyline(QPolygonF{
            QPointF(photo.left() + 2, photo.bottom() - 2), QPointF(photo.left() + 6, photo.top() + 5),
            QPointF(photo.left() + 9, photo.bottom() - 4), QPointF(photo.right() - 2, photo.bottom() - 2)});
        const QPointF plus(photo.right() + 1, photo.top());
        painter.drawLine(plus - QPointF(3, 0), plus + QPointF(3, 0));
        painter.drawLine(plus - QPointF(0, 3), plus + QPointF(0, 3));
    }
    QPainterPath ring;
    ring.addRoundedRect(QRectF(rect()).adjusted(1.25, 1.25, -1.25, -1.25), 11, 11);
    painter.strokePath(ring, QPen(m_selected ? Theme::orange() : QColor(Qt::transparent), 2.5));
}
