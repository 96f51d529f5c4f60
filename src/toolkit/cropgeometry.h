#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <optional>

// The arithmetic of the crop rectangle. Rectangles are in unit coordinates of the picture:
// (0, 0) its top-left corner, (1, 1) its bottom-right; the rectangle never leaves that square.
namespace CropGeometry {

// The grips: the four corners, the four edges, and the inside of the rectangle.
enum class Handle { tl, t, tr, r, br, b, bl, l, move };

struct Limits
{
    QSizeF pixelSize;             // of the picture; 0 × 0 until it has loaded
    std::optional<double> aspect; // width over height in pixels; none for a free rectangle
    double minSide = 0.03;        // the least width and height (the leading side only with an aspect)
};

// `rect` after dragging `h` by (dx, dy) units: the grip's edges move, are held inside the picture
// and apart by the minimum side, and with an aspect the other side follows the leading one
// (the height for the top and bottom edges, else the width) while the side opposite the grip
// stays put (for an edge grip, its centre line).
QRectF adjusted(const QRectF& rect, Handle h, double dx, double dy, const Limits& limits);

// The largest rectangle of `aspect` in the picture, centred on `around`'s centre (the middle
// when none) and moved inside the picture; the whole picture without an aspect or a size.
QRectF fit(std::optional<double> aspect, QSizeF pixelSize, const std::optional<QRectF>& around);

// Where grip `h` sits on `rect` (view coordinates).
QPointF point(Handle h, const QRectF& rect);

// The grip under `p` when the rectangle is drawn as `rect` in view coordinates: a 26-point box
// around each grip first (the last drawn in front), then the inside inset by 12 points.
std::optional<Handle> hit(QPointF p, const QRectF& rect);

} // namespace CropGeometry
