#pragma once

#include "core/redactstyle.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QRectF>
#include <functional>
#include <optional>

// Hides areas of a picture: the renderer behind Redact Photo's save and the self-test's check.
namespace Redactor {

// The pixels a box covers on a picture of `size`: the unit box (x and width as fractions of
// the width, y and height of the height, origin top left) in pixels, grown by 2 on every side,
// rounded outward so that no pixel is only partly covered, and cut to the picture. Empty when
// nothing of it lies on the picture.
QRect pixelBox(const QRectF& unitBox, QSize size);

// The blur's deviation on a picture of `size`: 3 % of its shorter side.
double blurRadius(QSize size);
// The blur's deviation in a box: the picture's, and never less than a quarter of the box's
// shorter side, so that large writing in a box can't be read through the blur.
double blurRadius(QSize size, QRect box);
// The pixel blocks on a picture of `size`: 3.5 % of its shorter side, at least 8 pixels.
int blockSize(QSize size);
// The pixel blocks in a box: the picture's, and never less than a third of the box's shorter
// side, so that what fills a box (a line of text) can't be read through its blocks.
int blockSize(QSize size, QRect box);

// The covering of `region` of `image` (ARGB32 or RGB32) in the blur or pixelate style with the
// given deviation or block size: an ARGB32 image of the region's size, a null image when it
// can't be made.
using Cover = std::function<QImage(const QImage& image, QRect region, RedactStyle style, double amount)>;
// The covering the styles are defined by (see RedactCover); pixel blocks lie on a grid with a
// corner 150 pixels in from the picture's left and bottom edges.
QImage cover(const QImage& image, QRect region, RedactStyle style, double amount);

// `image` with each box (unit space, see pixelBox) filled with opaque black or white, or
// showing the blurred or pixelated picture at the same place; a later box lies over an earlier
// one, and everything outside the boxes keeps its pixels, alpha included. Boxes that share a
// deviation or block size are covered from one blurred or pixelated picture, so that where they
// meet they look as one. The result is ARGB32 (RGB32 when `image` has no alpha). Nothing when
// the result or a covering can't be made, or a box isn't finite: a box is never left showing
// what it should hide.
std::optional<QImage> render(const QImage& image, const QList<QRectF>& unitBoxes, RedactStyle style,
                             const Cover& makeCover = cover);

} // namespace Redactor
