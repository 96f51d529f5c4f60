#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

// Boxes drawn by dragging over a picture, kept in unit space (fractions of the picture's width
// and height, origin at the top left) so they fit the picture at any size it is shown or saved.
namespace UnitBox {

// A drag must move this far, in points, before it draws.
constexpr double minDrag = 4;

// The box between the drag's start `from` and its current point `to` (points on a picture shown
// at `shown`, from its top-left corner), cut to the picture; empty when nothing is shown.
QRectF dragged(QPointF from, QPointF to, QSizeF shown);
// Whether a drawn box is wider and taller than `minSide` of the picture.
bool kept(const QRectF& box, double minSide);
// `box` in points on a picture shown at `shown`.
QRectF shownRect(const QRectF& box, QSizeF shown);

} // namespace UnitBox
