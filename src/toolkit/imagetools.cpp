#include "toolkit/imagetools.h"

#include "core/catalog.h"
#include "core/output.h"
#include "engines/heavyengines.h"

#include <cmath>

namespace ImageTools {

std::optional<QImage> crop(const QImage& image, const QRectF& unit)
{
    const double w = image.width(), h = image.height();
    const double x = std::round(unit.x() * w), y = std::round(unit.y() * h);
    const double cw = std::max(std::round(unit.width() * w), 1.0),
                 ch = std::max(std::round(unit.height() * h), 1.0);
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(cw) || !std::isfinite(ch))
        return std::nullopt;
    // QImage::copy pads what lies outside with black; the crop keeps only what is on the image.
    const QRectF wanted = QRectF(x, y, cw, ch) & QRectF(image.rect());
    if (wanted.isEmpty()) return std::nullopt;
    const QImage part = image.copy(wanted.toRect());
    if (part.isNull()) return std::nullopt;
    return part;
}

QString keptFormat(const QString& source)
{
    const QString key = Catalog::format(source).value_or(QStringLiteral("png"));
    if (Modules::entries<HeavyEngines>().imageUti(key)) return key;
    return key == QLatin1String("webp") ? key : QStringLiteral("png");
}

QString saveCopy(const QString& source, const QImage& image, const QString& suffix, const QString& format,
                 const ImageProps& props)
{
    return Output::write(
        Output::result(source, QLatin1Char(' ') + suffix, format), [&](const QString& temporary) {
            Modules::entries<HeavyEngines>().writeImage(image, temporary, format, props, std::nullopt, 72);
        });
}

} // namespace ImageTools
