#include "toolkit/imagetools.h"

#include "core/catalog.h"
#include "core/converterror.h"
#include "core/inputcheck.h"
#include "core/job.h"
#include "core/output.h"
#include "engines/heavyengines.h"

#include <QColorSpace>
#include <QFileInfo>
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

QImage inSRgb(const QImage& image)
{
    const QColorSpace space = image.colorSpace();
    if (!space.isValid() || space == QColorSpace::SRgb) return image;
    const QImage converted = image.convertedToColorSpace(QColorSpace::SRgb);
    return converted.isNull() ? image : converted;
}

QString keptFormat(const QString& source)
{
    const QString key = Catalog::format(source).value_or(QStringLiteral("png"));
    if (Modules::entries<HeavyEngines>().imageUti(key)) return key;
    return key == QLatin1String("webp") ? key : QStringLiteral("png");
}

QString editCopy(const QString& file, const QString& suffix, Job& job, const Progress& progress,
                 const std::function<QImage(const QImage&)>& transform, const std::optional<QString>& format,
                 Properties properties)
{
    InputCheck::refuseGone(file);
    const HeavyEngines& engines = Modules::entries<HeavyEngines>();
    std::shared_ptr<const ImageProps> carried;
    QImage image =
        properties == Properties::carried ? engines.loadImageForCopy(file, carried) : engines.loadImage(file);
    job.throwIfCancelled();
    progress(0.5);
    QImage edited = transform(image);
    image = QImage(); // one full-size picture less while the copy is encoded
    if (edited.isNull())
        throw ConvertError::failed(
            QStringLiteral("Couldn’t make the copy of %1").arg(QFileInfo(file).fileName()));
    job.throwIfCancelled();
    progress(0.8);
    const QString written = format.value_or(keptFormat(file));
    return Output::write(
        Output::result(file, QLatin1Char(' ') + suffix, written),
        [&](const QString& temporary) {
            // Handed over rather than shared, so the encoder sets its resolution without a copy.
            if (carried)
                engines.writeImage(std::move(edited), temporary, written, *carried, std::nullopt, 72);
            else
                engines.writeNewImage(std::move(edited), temporary, written, 72);
        },
        &job);
}

} // namespace ImageTools
