#include "engines/compress/heavy/imagecompressor.h"

#include "core/catalog.h"
#include "core/converterror.h"
#include "engines/image/imageengine.h"

#include <QFileInfo>
#include <cmath>

namespace {

constexpr double dpi = 72;
constexpr int passes = 6;
constexpr int trials = 7;

// The picture with its longer side `factor` of its own, at least one pixel.
QImage shrunk(const QImage& image, double factor)
{
    const int longer = std::max(image.width(), image.height());
    const int side = std::max(1, int(std::lround(longer * factor)));
    return image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

// Only ever smaller: a picture within `maxSide` stays as it is.
QImage limited(const QImage& image, int maxSide)
{
    if (maxSide <= 0 || std::max(image.width(), image.height()) <= maxSide) return image;
    return image.scaled(maxSide, maxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

struct Writer
{
    QString destination;
    QString format;
    ImageProps props;
    std::function<bool()> stopped;

    // The written size; 0 when it cannot be read, which fits no goal.
    qint64 write(const QImage& image, double quality) const
    {
        if (stopped && stopped()) throw ConvertError::cancelled();
        ImageEngine::write(image, destination, format, props, quality, dpi);
        const QFileInfo written(destination);
        return written.exists() ? written.size() : 0;
    }
};

bool fits(qint64 size, qint64 goal)
{
    return size > 0 && size <= goal;
}

} // namespace

namespace Compressor {

ImageCompressResult image(const QString& source, const ImageCompressSettings& settings,
                          const QString& destination, const std::function<bool()>& stopped)
{
    ImageEngine::Loaded loaded = ImageEngine::load(source);
    QString format = Catalog::format(source).value_or(QStringLiteral("jpg"));
    if (format == QLatin1String("bmp")) format = QStringLiteral("png");
    static const QStringList lossy{"jpg", "heic", "avif", "webp"};
    const bool isLossy = lossy.contains(format);
    const Writer writer{destination, format, ImageEngine::carriedProperties(loaded.props), stopped};
    QImage picture = limited(loaded.image, settings.maxSide);
    loaded.image = QImage();

    if (settings.mode == ImageCompressMode::quality) {
        const CompressLevel level = settings.level;
        if (!isLossy && level != CompressLevel::high && settings.maxSide == 0)
            return {writer.write(shrunk(picture, level == CompressLevel::balanced ? 0.75 : 0.5), 1.0), true};
        return {writer.write(picture, imageQuality(level)), true};
    }

    const qint64 goal = goalBytes(settings, QFileInfo(source).size());
    for (int pass = 0; pass < passes; ++pass) {
        if (isLossy) {
            double lower = 0.05, upper = 0.95;
            std::optional<double> best;
            for (int trial = 0; trial < trials; ++trial) {
                const double q = (lower + upper) / 2;
                if (fits(writer.write(picture, q), goal)) {
                    best = q;
                    lower = q;
                } else {
                    upper = q;
                }
            }
            if (best) {
                const qint64 size = writer.write(picture, *best);
                return {size, fits(size, goal)};
            }
        } else {
            const qint64 size = writer.write(picture, 1.0);
            if (fits(size, goal)) return {size, true};
        }
        picture = shrunk(picture, 0.8);
    }
    const qint64 size = writer.write(picture, isLossy ? 0.3 : 1.0);
    return {size, fits(size, goal)};
}

} // namespace Compressor
