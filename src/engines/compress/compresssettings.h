#pragma once

#include <QString>
#include <optional>

// How hard the Compress tool squeezes a file: the level of images in quality mode, of PDFs and
// of videos, and the goal of an image.
enum class CompressLevel { high, balanced, small };
enum class ImageCompressMode { quality, percent, target };

// "High quality", "Balanced", "Smallest"; also the titles the window shows.
QString rawValue(CompressLevel level);
// "Quality", "Reduce by", "Target size".
QString rawValue(ImageCompressMode mode);
// Exactly the raw values above; none for any other text.
std::optional<CompressLevel> compressLevel(const QString& raw);
std::optional<ImageCompressMode> imageCompressMode(const QString& raw);

// The JPEG-like quality (0…1) of a level in quality mode: 0.85, 0.7, 0.5.
double imageQuality(CompressLevel level);

struct ImageCompressSettings
{
    ImageCompressMode mode = ImageCompressMode::quality;
    CompressLevel level = CompressLevel::balanced; // quality mode only
    double percent = 50;                           // percent mode: how much smaller, of the source's bytes
    double targetKB = 500;                         // target mode: the wished size in units of 1024 bytes
    int maxSide = 0;                               // the longer side's limit in pixels; 0 keeps the size

    bool operator==(const ImageCompressSettings&) const = default;
};

struct ImageCompressResult
{
    qint64 bytes = 0;
    // False when a size goal was asked for and even the last resort (the picture shrunk six
    // times, at low quality) is larger: the file is written all the same.
    bool metGoal = true;
};

namespace Compressor {

// The goal in bytes of a goal mode for a source of `sourceBytes`; 0 or less can't be met.
qint64 goalBytes(const ImageCompressSettings& settings, qint64 sourceBytes);

} // namespace Compressor
