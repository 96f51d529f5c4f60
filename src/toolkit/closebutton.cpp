#include "toolkit/closebutton.h"

#include "toolkit/symbols.h"
#include "toolkit/theme.h"

#include <QPainter>

CloseButton::CloseButton(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(side, side);
}

void CloseButton::paint(QPainter& painter, const QRectF& rect, bool hover)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(1, 1, 1, hover ? 0.6f : 0.38f));
    painter.drawEllipse(rect);
    // The cross's arms span about 11 points.
    Symbols::draw(painter, QStringLiteral("xmark"), QRectF(rect.center() - QPointF(8, 8), QSizeF(16, 16)),
                  Theme::ink());
    painter.restore();
}

void CloseButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, rect(), m_hover);
}

void CloseButton::enterEvent(QEnterEvent* event)
{
    QAbstractButton::enterEvent(event);
    m_hover = true;
    update();
}

void CloseButton::leaveEvent(QEvent* event)
{
    QAbstractButton::leaveEvent(event);
    m_hover = false;
    update();
}
