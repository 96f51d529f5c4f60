#pragma once

#include "core/progress.h"

#include <QString>
#include <QStringList>

class Job;

namespace MediaEngine {

// Converts the audio or video file `source` into the format `target` (a catalog format key) with
// ffmpeg and returns the written file. Throws ConvertError, also when ffmpeg is missing; nothing
// is left behind on failure.
QStringList convert(const QString& source, const QString& target, Job& job, const Progress& progress);

} // namespace MediaEngine
