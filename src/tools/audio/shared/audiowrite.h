#pragma once

#include "engines/media/media.h"
#include "engines/media/toolargs.h"

#include <QString>
#include <QStringList>

class Job;

// What the audio tools' operations share: results keep the source's extension, lower-cased, and
// its container's encoder; in mp3, m4a, flac and aiff (in its ID3 chunk, with every tag) they
// keep the source's cover pictures too. A
// result is made in a hidden temporary item beside the source and committed under a free name
// ("Talk Trimmed.m4a", then "Talk Trimmed 2.m4a", …); a failure or a cancel leaves nothing
// behind.
namespace AudioWrite {

// What a result in `ext` keeps of `source` beside its sound: its cover pictures where the
// container holds them, taken from a second reading of the source when `apart`; whatever it
// leaves out (covers an OGG or WAV file can't hold, a film's picture) is named in a note on `job`.
ToolArgs::Extras kept(const QString& source, const QString& ext, bool apart, Job& job);

// The arguments of a result that is the source's sound through the audio filter `filter`, with
// what `kept` keeps. The filter's times are the source's as its player counts them: sound that
// begins after the source's start reaches it after as much silence, and keeps that place.
QStringList filtered(const QString& source, const QString& filter, const QString& ext,
                     const ToolArgs::Extras& kept, const QString& out);
// The same for a filter graph given as its arguments ("-filter_complex", graph, "-map", label),
// which reads the source's sound once, as "[0:a]"; `kept` is made `apart`.
QStringList graphed(const QString& source, QStringList graph, const QString& ext,
                    const ToolArgs::Extras& kept, const QString& out);

} // namespace AudioWrite
