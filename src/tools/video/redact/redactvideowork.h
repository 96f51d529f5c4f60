#pragma once

#include "core/progress.h"
#include "engines/media/toolargs.h"
#include "engines/media/toolchoices.h"

#include <QByteArray>
#include <QList>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>

class Job;

// The Redact Video tool's work on one file, on a worker thread. Blocks and throws ConvertError;
// the source is never written, the result is committed under a free name and a failure or a
// cancel leaves nothing behind. Progress is this file's fraction, 0…1. Boxes are unit rectangles
// of the picture (x, y from the top left, width, height, each 0…1).
namespace ToolOps {

// "<base> Redacted.<ext>": each of `boxes` (at least one) covered in turn in `style`, on every
// frame shown during `range` or the whole video; the audio copied and the chapters kept whole.
// No tag of the file or its streams is kept but the tracks' languages and an attachment's file
// name and type, which it can't be written without; cover pictures are left out, with a note.
QStringList redactVideo(const QString& source, const QList<QRectF>& boxes, RedactStyle style,
                        const std::optional<TimeRange>& range, Job& job, const Progress& progress);

} // namespace ToolOps

// What the operation is built from, and its self-test rows.
namespace RedactVideoWork {

// The times of the graph that cover `range` of `source` frame by frame: from just before the
// frame shown at its start to just after the start of the frame shown at its end, so that both,
// which are on screen during the range, are covered.
TimeRange shownTimes(const QString& source, TimeRange range);

// Where the graph covers `box` (a unit rectangle), in ffmpeg's terms: grown outwards to even
// pixels, so that no edge of what it hides stays in view.
ToolArgs::BoxExpr coverExpr(const QRectF& box);
// The side in pixels of the blocks that pixelate `box` (a unit rectangle) of a picture of
// `picture` pixels: a third of the box's shorter side, rounded up, so that side is at most three
// blocks across; never under 18 nor over 1024 (ffmpeg's limit).
int pixelBlock(const QRectF& box, QSize picture);
// The filter graph covering `boxes` of a picture of `picture` pixels as shown, its output
// labelled "[v]" with even sides.
QString redactGraph(const QList<QRectF>& boxes, RedactStyle style, const std::optional<TimeRange>& range,
                    QSize picture);
// The ffmpeg arguments of that result in the container `ext` at `out`.
QStringList args(const QString& source, const QList<QRectF>& boxes, RedactStyle style,
                 const std::optional<TimeRange>& range, QSize picture, const QString& ext, const QString& out,
                 const ToolArgs::Extras& extras = {});

// The self-test's row "redact blur": the box (0.1, 0.1, 0.3 × 0.3) of clip.mp4 in `samples`
// blurred throughout.
QStringList checkBlur(const QString& samples, Job& job);
// The row "redact pixelate+range": two boxes pixelated from 1 s to 2 s.
QStringList checkPixelateRange(const QString& samples, Job& job);
// The row "redact black": the box (0.4, 0.4, 0.2 × 0.1) in black from 0.5 s to 1.5 s.
QStringList checkBlack(const QString& samples, Job& job);

} // namespace RedactVideoWork
