#pragma once

#include "core/progress.h"
#include "tools/image/frame/framesettings.h"

#include <QImage>
#include <QStringList>

class Job;

// The add-background tool's work on one file, on a worker thread.
namespace AddBackground {

// Frames the picture in `file` at full size with `settings` (and `background` for an image
// backdrop) and saves it as "<base> With Background.png" beside it or in the output folder,
// always PNG, with the picture's properties carried. Returns the path written; throws
// ConvertError: the loader's reason, a canvas past the limit, "Couldn’t render", a write failure.
QStringList frameFile(const QString& file, const FrameSettings& settings, const QImage& background, Job& job,
                      const Progress& progress);

// The self-test's frame of photo.jpg in `samples`: the default settings on a square canvas.
QStringList selfCheck(const QString& samples, Job& job);

} // namespace AddBackground
