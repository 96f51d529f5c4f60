#pragma once

#include "core/progress.h"
#include "engines/media/toolargs.h"

#include <QRectF>
#include <QString>
#include <QStringList>

class Job;

// The Crop Video tool's work on one file, on a worker thread. Blocks and throws ConvertError; the
// source is never written, the result is committed under a free name and a failure or a cancel
// leaves nothing behind. Progress is this file's fraction, 0…1. Rectangles are unit rectangles of
// the picture (x, y from the top left, width, height, each 0…1).
namespace ToolOps {

// "<base> Cropped.<ext>": the picture cut to `rect` (even sides), the audio copied.
QStringList cropVideo(const QString& source, const QRectF& rect, Job& job, const Progress& progress);

} // namespace ToolOps

// What the operation is built from, and its self-test rows.
namespace CropVideoWork {

// The crop filter of `rect`.
QString cropFilter(const QRectF& rect);
// The ffmpeg arguments of that result in the container `ext` at `out`.
QStringList args(const QString& source, const QRectF& rect, const QString& ext, const QString& out,
                 const ToolArgs::Extras& extras = {});

// The self-test's row "crop video": the rectangle (0.1, 0.2, 0.5 × 0.5) of clip.mp4 in `samples`.
QStringList selfCheck(const QString& samples, Job& job);

} // namespace CropVideoWork
