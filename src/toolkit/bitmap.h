#pragma once

#include <QImage>
#include <QSizeF>
#include <optional>

// The drawing surface of every renderer of the image tools.
namespace Bitmap {

// An sRGB image of `size` rounded to whole pixels (halves away from zero, at least 1 × 1),
// without alpha when `opaque`, premultiplied otherwise; filled (transparent, or black when
// opaque) so that a renderer never shows uninitialised memory. Its coordinates are Qt's own,
// top-left and y downward. None when it cannot be allocated.
std::optional<QImage> make(QSizeF size, bool opaque);

} // namespace Bitmap
