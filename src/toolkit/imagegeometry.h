#pragma once

#include <QImage>
#include <QRectF>
#include <QSizeF>

// The largest rectangle of `content`'s proportions inside `box` less `padding` on every side
// (each available side at least 1), centred in the whole box; it may scale up as well as down.
// An empty `content` gives the available area at the origin.
QRectF fittedRect(QSizeF content, QSizeF box, double padding);

// `image` with its longer side at most `maxSide` pixels (each side truncated, at least 1), in
// premultiplied sRGB; the image itself (shared, not copied) when it is small enough already or
// when no smaller one can be made.
QImage downscaled(const QImage& image, double maxSide);
