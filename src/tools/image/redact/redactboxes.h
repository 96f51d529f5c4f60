#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

// The boxes the Redact Photo window edits, in unit space of the picture (fractions of its width
// and height, origin at the top left): how a drag, a search and its note turn into boxes.
namespace RedactBoxes {

// A drawn box narrower or lower than this share of the picture is dropped.
constexpr double minSide = 0.005;

// What a search found, as boxes to add: faces grown by 15 % of their width on each side and 25 %
// of their height above and below, so that hair, ears and chin are covered too; every box cut
// to the picture, and those that miss it or aren't finite left out.
QList<QRectF> found(const QList<QRectF>& boxes, bool faces);

// The line under the picture after a search that found `count` boxes.
QString note(qsizetype count, bool faces);

} // namespace RedactBoxes
