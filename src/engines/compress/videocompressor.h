#pragma once

#include "core/progress.h"
#include "engines/compress/compresssettings.h"
#include "engines/media/toolargs.h"

#include <QStringList>

class Job;

namespace Compressor {

// ffmpeg's arguments (after its fixed prefix) for a smaller copy of the video `source` of
// `height` lines at `destination`: the first real picture stream and every audio stream, scaled
// to even sides or down to `maxHeight` lines (0 keeps the height), re-encoded at the level's
// rate factor in H.264 or, with `hevc` and a container that holds it (mp4, mov, mkv), in HEVC
// tagged "hvc1"; the audio at 128 kbit/s, 96 at the smallest level; tags kept; `extras` (the
// subtitles, covers and attachments the result keeps) after them.
QStringList videoArgs(const QString& source, const QString& destination, CompressLevel level, int maxHeight,
                      bool hevc, int height, const ToolArgs::Extras& extras = {});

// Writes that copy through ffmpeg, with its progress, keeping what KeptStreams::copied() keeps
// and noting the rest on `job`; a copy that ends well before the source fails, as `shownAs`
// (the name the result gets). Throws ffmpeg's failures and Cancelled.
void video(const QString& source, CompressLevel level, int maxHeight, bool hevc, const QString& destination,
           const QString& shownAs, Job& job, const Progress& progress);

} // namespace Compressor
