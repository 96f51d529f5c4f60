#pragma once

#include "core/progress.h"
#include "engines/media/toolchoices.h"

#include <QString>
#include <QStringList>
#include <optional>

class Job;

// The Audio Visualizer tool's work on one file, on a worker thread. Blocks and throws
// ConvertError; the source is never written. The result is made in a hidden temporary item and
// committed under a free name; a failure or a cancel leaves nothing behind.
namespace ToolOps {

// "<base> Visualizer.mp4": a video of `shape`'s frame with the sound drawn in `style` and
// `color` (six hexadecimal digits, "FF5200") across a strip in its middle, over black or over
// the picture `background` (any image the image engine reads, scaled to cover the frame).
QStringList visualize(const QString& source, VisualShape shape, VisualStyle style, const QString& color,
                      const std::optional<QString>& background, Job& job, const Progress& progress);

} // namespace ToolOps

// What the operation is built from, and its self-test rows.
namespace VisualizerWork {

// The filter graph of a visualizer video of a source with `channels` channels, each drawn in
// `color`, which must already be six hexadecimal digits: its picture is "[v]", its sound "[a]".
QString graph(VisualShape shape, VisualStyle style, const QString& color, int channels, bool background);
// The ffmpeg arguments of that video, `duration` seconds long, at `out`; `background` is a PNG
// file the operation made.
QStringList args(const QString& source, VisualShape shape, VisualStyle style, const QString& color,
                 int channels, const std::optional<QString>& background, double duration, const QString& out);

// The self-test's rows over the samples in `samples`: "visualize", song.mp3 as a square wave in
// orange on black, and "visualize bars+bg", song.mp3 as white portrait bars over photo.jpg.
QStringList checkWave(const QString& samples, Job& job);
QStringList checkBarsOnPicture(const QString& samples, Job& job);

} // namespace VisualizerWork
