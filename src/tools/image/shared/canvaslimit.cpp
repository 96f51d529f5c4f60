#include "tools/image/shared/canvaslimit.h"

#include "core/converterror.h"

#include <cmath>

namespace CanvasLimit {

bool fits(QSizeF size)
{
    const double w = std::max(std::round(size.width()), 1.0), h = std::max(std::round(size.height()), 1.0);
    return std::isfinite(w) && std::isfinite(h) && w <= maxSide && h <= maxSide && w * h <= maxPixels;
}

void check(QSizeF size, const QString& what)
{
    if (fits(size)) return;
    const auto whole = [](double v) {
        return std::isfinite(v) ? QString::number(std::max(std::round(v), 1.0), 'f', 0) : QStringLiteral("∞");
    };
    throw ConvertError::failed(
        QStringLiteral("%1 would be %2 × %3 pixels; Tolvane makes pictures of at most %4 pixels a side "
                       "and %5 megapixels")
            .arg(what, whole(size.width()), whole(size.height()), QString::number(int(maxSide)),
                 QString::number(int(maxPixels / 1e6))));
}

} // namespace CanvasLimit
