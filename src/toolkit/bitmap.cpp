#include "toolkit/bitmap.h"

#include <QColorSpace>
#include <algorithm>
#include <cmath>

namespace Bitmap {

std::optional<QImage> make(QSizeF size, bool opaque)
{
    const double w = std::round(size.width()), h = std::round(size.height());
    if (!std::isfinite(w) || !std::isfinite(h) || w > 1 << 20 || h > 1 << 20) return std::nullopt;
    QImage image(std::max(int(w), 1), std::max(int(h), 1),
                 opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return std::nullopt;
    image.setColorSpace(QColorSpace::SRgb);
    image.fill(opaque ? Qt::black : Qt::transparent);
    return image;
}

} // namespace Bitmap
