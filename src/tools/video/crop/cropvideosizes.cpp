#include "tools/video/crop/cropvideosizes.h"

#include <algorithm>

namespace CropVideoSizes {

QList<CropAspect> offeredAspects()
{
    return {CropAspect::free, CropAspect::square,    CropAspect::wide,
            CropAspect::tall, CropAspect::fourThree, CropAspect::fourFive};
}

QSizeF pixelSize(QSize frame, QSize probed)
{
    if (frame.isEmpty()) return {0, 0};
    const double m = std::max(frame.width(), frame.height());
    const double p = std::max(probed.width(), probed.height());
    if (m >= 1 && p >= 1) return {p * frame.width() / m, p * frame.height() / m};
    return QSizeF(frame);
}

QSize outputSize(const QRectF& rect, QSizeF pixels)
{
    const auto even = [](double v) { return v > 0 ? int(v) / 2 * 2 : 0; };
    return {even(rect.width() * pixels.width()), even(rect.height() * pixels.height())};
}

QString sizeLabel(QSize size)
{
    return QString::number(size.width()) + QStringLiteral(" × ") + QString::number(size.height()) +
           QStringLiteral(" px");
}

} // namespace CropVideoSizes
