#pragma once

#include "core/progress.h"

#include <QImage>
#include <QRectF>
#include <QString>
#include <functional>
#include <optional>

class Job;

// What the image tools share between their windows and their saves.
namespace ImageTools {

// The part of `image` under `unit`, a rectangle in fractions of its width and height (top-left
// origin): x and y rounded to the nearest pixel, width and height too but at least 1, clipped
// to the image. None when nothing of it lies on the image.
std::optional<QImage> crop(const QImage& image, const QRectF& unit);

// `image` with its pixels in sRGB, the space of every renderer's bitmap, for drawing: Qt draws
// a picture's values as they are, whatever its colour profile. The image itself when it is
// sRGB already or has no profile Qt reads (the loader gives CMYK pictures in sRGB).
QImage inSRgb(const QImage& image);

// The format a copy of `source` keeps: its own format key when the image engine writes it
// (jpg, png, heic, tiff, avif, bmp, gif), webp for webp, and png for everything else.
QString keptFormat(const QString& source);

// What a copy keeps of its source's properties (Exif, GPS, IPTC, resolution): what a
// re-encoded copy carries, or nothing at all, for a copy that must not tell where or with what
// its source was taken.
enum class Properties { carried, none };

// The one road of an image tool's copy of `file`: loads the picture upright with its
// properties carried, checks for a cancel, applies `transform` and writes its result as
// "<base> <suffix>.<format>" in the file's output folder (" 2", " 3", … after the suffix while
// the name is taken), in keptFormat(file), with the carried properties. The copy goes through a
// hidden temporary file committed only once complete and only while `job` still runs. Reports
// 0.5 once loaded and 0.8 once transformed. Returns the path written; throws ConvertError
// ("photo.jpg is no longer there", the loader's reason, the transform's, Cancelled), leaving
// nothing behind. Worker thread; `transform` may throw ConvertError. A `format` given is used
// instead of keptFormat(file), for tools whose copies are always of one format. With
// Properties::none the copy holds its pixels and their colour profile alone, at 72 dpi.
QString editCopy(const QString& file, const QString& suffix, Job& job, const Progress& progress,
                 const std::function<QImage(const QImage&)>& transform,
                 const std::optional<QString>& format = std::nullopt,
                 Properties properties = Properties::carried);

} // namespace ImageTools
