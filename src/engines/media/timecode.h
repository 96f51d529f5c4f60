#pragma once

#include "engines/media/mediastreams.h"

#include <QList>
#include <QString>
#include <optional>

// A film's SMPTE timecode, "HH:MM:SS:FF" (";" before the frames for drop-frame timecode), which
// names its first frame; a cut names its own first frame.
namespace Timecode {

// The timecode of the source listed in `streams`: its first picture's, else a timecode track's;
// none when it has none.
std::optional<QString> of(const QList<Media::Stream>& streams);

// Whether a result in the container `ext` holds a timecode: a QuickTime or MP4 timecode track,
// or a Matroska tag.
bool heldBy(const QString& ext);

// `timecode` moved on by `frames` frames (back for fewer than 0) of a picture of `fps` frames a
// second, counted in whole frames a second (29.97 counts 30, dropping frame numbers where its
// timecode says so), past midnight from the start; none when `timecode` is no timecode.
std::optional<QString> advanced(const QString& timecode, double fps, qint64 frames);

} // namespace Timecode
