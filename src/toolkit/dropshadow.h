#pragma once

#include <QColor>
#include <QPainterPath>
#include <QPointF>

class QPainter;

// Soft shadows for shapes drawn with QPainter, which has no blur of its own.
namespace DropShadow {

// Paints `shape` filled with `colour`, blurred over about `radius` units and moved by `offset`,
// under whatever is drawn next.
void paint(QPainter& painter, const QPainterPath& shape, const QColor& colour, double radius, QPointF offset);

} // namespace DropShadow
