// Reordering an OrderList the way a person does: press on a row, move past the drag distance and
// let go over another row.

#pragma once

#include "toolkit/orderlist.h"

#include <QCoreApplication>
#include <QMouseEvent>

inline void sendMouse(QWidget& widget, QEvent::Type type, QPoint at, Qt::MouseButtons held)
{
    QMouseEvent event(type, at, widget.mapToGlobal(at),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}

// Presses on row `from` (1-based), moves over row `to` and lets go there.
inline void drag(OrderList& list, int from, int to)
{
    const QPoint start = list.rowRect(from - 1).center().toPoint(),
                 end = list.rowRect(to - 1).center().toPoint();
    sendMouse(list, QEvent::MouseButtonPress, start, Qt::LeftButton);
    sendMouse(list, QEvent::MouseMove, start + QPoint(30, 0), Qt::LeftButton);
    sendMouse(list, QEvent::MouseMove, end, Qt::LeftButton);
    sendMouse(list, QEvent::MouseButtonRelease, end, Qt::NoButton);
}
