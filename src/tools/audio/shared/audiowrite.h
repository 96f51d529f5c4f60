#pragma once

#include "engines/media/media.h"
#include "engines/media/mediastreams.h"
#include "engines/media/toolargs.h"
#include "engines/media/toolchoices.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

class Job;

// What the audio tools' operations share: results keep the source's extension, lower-cased, and
// its container's encoder at the source's sample rate and depth; in mp3, m4a, flac and aiff (in
// its ID3 chunk, with every tag) they keep the source's cover pictures too, a FLAC its cue sheet
// and a broadcast WAVE file its bext chunk. A result is made in a hidden temporary item beside the
// source and committed under a free name ("Talk Trimmed.m4a", then "Talk Trimmed 2.m4a", …); a
// failure or a cancel leaves nothing behind.
namespace AudioWrite {

// What a result keeps of its source beside the sound the tool makes of it.
struct Kept
{
    ToolArgs::Extras streams; // covers and chapters
    QStringList encoder;      // empty: the container's encoder (Media::audioArgs)
    QStringList chunks;       // the options that write the broadcast chunk, or make room for the cue sheet
    std::optional<QByteArray> cueSheet; // written into a FLAC result once ffmpeg is done (finish())
};

// What a result in `ext` keeps of `source`, which holds the stretch `cut` of it (seconds; none:
// the whole): its cover pictures where the container holds them, taken from a second reading of
// the source when `apart`; its sound's depth; a broadcast WAVE file's chunk, its time reference
// moved to the cut's start; a FLAC's cue sheet, cut the same way. Whatever it leaves out (covers
// an OGG or WAV file can't hold, a film's picture) is named in a note on `job`.
Kept kept(const QString& source, const QString& ext, bool apart, Job& job, std::optional<TimeRange> cut = {});

// The encoder options of a result in `ext` that holds `sound` at its depth: a WAVE or AIFF file in
// the source's own kind of samples (24-bit, 8-bit, µ-law, …), a FLAC at 16 or 24 bits, Apple
// Lossless as Apple Lossless; the container's own encoder otherwise.
QStringList encoder(const Media::Stream& sound, const QString& ext);

// Writes into the result at `path` what ffmpeg couldn't (a FLAC's cue sheet); names it in a note
// on `job` when it can't either.
void finish(const Kept& kept, const QString& path, Job& job);

// The arguments of a result that is the source's sound through the audio filter `filter`, with
// what `kept` keeps. The filter's times are the source's as its player counts them: sound that
// begins after the source's start reaches it after as much silence, and keeps that place.
QStringList filtered(const QString& source, const QString& filter, const QString& ext, const Kept& kept,
                     const QString& out);
// The same for a filter graph given as its arguments ("-filter_complex", graph, "-map", label),
// which reads the source's sound once, as "[0:a]"; `kept` is made `apart`.
QStringList graphed(const QString& source, QStringList graph, const QString& ext, const Kept& kept,
                    const QString& out);

} // namespace AudioWrite
