#include "engines/compress/compresssettings.h"

#include <QStringList>
#include <cmath>

namespace {

const QStringList levels{QStringLiteral("High quality"), QStringLiteral("Balanced"),
                         QStringLiteral("Smallest")};
const QStringList modes{QStringLiteral("Quality"), QStringLiteral("Reduce by"),
                        QStringLiteral("Target size")};

} // namespace

QString rawValue(CompressLevel level)
{
    return levels[int(level)];
}

QString rawValue(ImageCompressMode mode)
{
    return modes[int(mode)];
}

std::optional<CompressLevel> compressLevel(const QString& raw)
{
    const qsizetype i = levels.indexOf(raw);
    return i < 0 ? std::nullopt : std::optional(CompressLevel(i));
}

std::optional<ImageCompressMode> imageCompressMode(const QString& raw)
{
    const qsizetype i = modes.indexOf(raw);
    return i < 0 ? std::nullopt : std::optional(ImageCompressMode(i));
}

double imageQuality(CompressLevel level)
{
    switch (level) {
    case CompressLevel::high:
        return 0.85;
    case CompressLevel::balanced:
        return 0.7;
    case CompressLevel::small:
        break;
    }
    return 0.5;
}

namespace Compressor {

qint64 goalBytes(const ImageCompressSettings& settings, qint64 sourceBytes)
{
    const double goal = settings.mode == ImageCompressMode::percent
                            ? (1 - settings.percent / 100) * double(sourceBytes)
                            : settings.targetKB * 1024;
    return std::isfinite(goal) ? qint64(std::trunc(goal)) : 0;
}

} // namespace Compressor
