#pragma once

#include "core/memorybudget.h"
#include "core/progress.h"
#include "engines/image/imageprops.h"

#include <QImage>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

class Job;
class QSvgRenderer;

// The one place where still images are decoded from files and encoded to files. Everything
// blocks the calling thread and may run on any thread; failures are ConvertError with a
// message for the user.
namespace ImageEngine {

// The largest image decoded or rendered, in pixels; larger ones are refused with a message
// instead of exhausting memory.
constexpr qint64 maxPixels = qint64(1) << 28;

struct Loaded
{
    QImage image;     // upright: the file's orientation is applied to the pixels
    ImageProps props; // empty for SVG
    double dpi = 72;  // the source's horizontal resolution; 72 when it gives none
};

// The file's first image. SVG drawings (by extension) are rendered at a scale of at least 2
// with at least 2048 pixels on the longer side.
Loaded load(const QString& path);

// The scale load() draws an SVG drawing of `points` at.
double drawingScale(const QSizeF& points);

// `renderer`'s drawing in an image of `size` pixels (each side rounded), transparent around it.
QImage rasterize(QSvgRenderer& renderer, const QSizeF& size);

// Encodes `image` at `path` (written there directly) in the format `format`: jpg (flattened
// onto white), png, heic, avif, tiff (LZW), bmp, gif, webp (through cwebp) or pdf (one page of
// pixels × 72 / dpi points). `props` go into jpg, png, tiff, heic and avif files; `quality`
// (0…1, the image quality setting when none) applies to jpg, heic, avif and webp; `dpi` sizes
// the pdf page only. An image passed by std::move is written without a copy of its pixels.
void write(QImage image, const QString& path, const QString& format, const ImageProps& props,
           std::optional<double> quality, double dpi);

// WebP through the cwebp program, at `quality` 0…1; carries no metadata and no colour profile,
// so colours another profile describes are written in sRGB.
void writeWebP(const QImage& image, const QString& path, double quality, Job* job = nullptr);

// A PDF of one page per image, each of its pixels × 72 / its dpi points (72 when `dpis` has no
// entry for it), the pixels kept losslessly. Refuses an empty list.
void writePDF(const QList<QImage>& images, const QList<double>& dpis, const QString& path);

// `image` without the text its file carried (comments, PNG text chunks, XMP), which Qt's
// encoders would write out again: a result keeps only the properties ImageProps carries. The
// pixels are shared with `image`, not copied. write() calls it itself.
QImage withoutText(const QImage& image);

// What a re-encoded copy of an image with `props` keeps (see ImageProps::carried).
ImageProps carriedProperties(const ImageProps& props);

// The MIME type of the encoder `write` uses for `format` among jpg, png, heic, avif, tiff, bmp
// and gif; none for every other key, webp and pdf included.
std::optional<QString> uti(const QString& format);

// `image` drawn over `color` when it has an alpha channel, else `image` itself.
QImage flatten(const QImage& image, const QColor& color);

// Converts one image file to `target` (an image format, pdf, or docx through text recognition)
// beside it or in the output folder, under a free name. Returns the written file.
// The picture's charge of `budget` is taken before it is decoded (see PixelBudget).
QStringList convert(const QString& source, const QString& target, Job& job, const Progress& progress,
                    MemoryBudget& budget = MemoryBudget::pictures());

// The quality 0…1 as a whole percentage for the encoders, rounded and clamped.
int percent(double quality);

} // namespace ImageEngine
