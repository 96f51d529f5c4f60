#include "toolkit/boxdrag.h"

#include "toolkit/unitbox.h"

#include <cmath>

void BoxDrag::press(QPointF at)
{
    m_press = at;
    m_dragging = false;
    m_draft.reset();
}

bool BoxDrag::move(QPointF at, QSizeF shown)
{
    if (!m_press) return false;
    const QPointF moved = at - *m_press;
    if (!m_dragging && std::hypot(moved.x(), moved.y()) < UnitBox::minDrag) return false;
    m_dragging = true;
    m_draft = UnitBox::dragged(*m_press, at, shown);
    return true;
}

BoxDrag::Ended BoxDrag::release(QPointF at, QSizeF shown)
{
    if (!m_press) return {};
    move(at, shown);
    const QPointF press = *m_press;
    m_press.reset();
    Ended ended;
    if (m_dragging)
        ended.drawn = m_draft;
    else if (shown.width() > 0 && shown.height() > 0)
        ended.clicked = QPointF(press.x() / shown.width(), press.y() / shown.height());
    m_dragging = false;
    m_draft.reset();
    return ended;
}

std::optional<int> BoxDrag::topmostAt(const QList<QRectF>& boxes, QPointF at)
{
    for (qsizetype i = boxes.size() - 1; i >= 0; --i)
        if (boxes[i].contains(at)) return int(i);
    return std::nullopt;
}
