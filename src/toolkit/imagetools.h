#pragma once

#include <QImage>
#include <QRectF>
#include <QString>
#include <optional>

class ImageProps;

// What the image tools share between their windows and their saves.
namespace ImageTools {

// The part of `image` under `unit`, a rectangle in fractions of its width and height (top-left
// origin): x and y rounded to the nearest pixel, width and height too but at least 1, clipped
// to the image. None when nothing of it lies on the image.
std::optional<QImage> crop(const QImage& image, const QRectF& unit);

// The format a copy of `source` keeps: its own format key when the image engine writes it
// (jpg, png, heic, tiff, avif, bmp, gif), webp for webp, and png for everything else.
QString keptFormat(const QString& source);

// Writes `image` as a new copy of `source`: "<base> <suffix>.<format>" in the source's output
// folder (" 2", " 3", … after the suffix while the name is taken), through a hidden temporary
// file committed only once complete, with `props` embedded. Returns the path written; throws
// ConvertError, leaving nothing behind.
QString saveCopy(const QString& source, const QImage& image, const QString& suffix, const QString& format,
                 const ImageProps& props);

} // namespace ImageTools
