#pragma once

#include "core/progress.h"
#include "engines/compress/compresssettings.h"

#include <QStringList>

class Job;

namespace Compressor {

// ffmpeg's arguments (after its fixed prefix) for a smaller copy of the video `source` of
// `height` lines at `destination`: the first real picture stream and every audio stream, scaled
// to even sides or down to `maxHeight` lines (0 keeps the height), re-encoded at the level's
// rate factor in H.264 or, with `hevc` and a container that holds it (mp4, mov, mkv), in HEVC
// tagged "hvc1"; the audio at 128 kbit/s, 96 at the smallest level; tags kept.
QStringList videoArgs(const QString& source, const QString& destination, CompressLevel level, int maxHeight,
                      bool hevc, int height);

// Writes that copy through ffmpeg, with its progress; throws ffmpeg's failures and Cancelled.
void video(const QString& source, CompressLevel level, int maxHeight, bool hevc, const QString& destination,
           Job& job, const Progress& progress);

} // namespace Compressor
