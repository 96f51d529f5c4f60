#pragma once

#include "core/progress.h"
#include "engines/media/toolchoices.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class Job;

// The editing operations of the audio tools: each turns one source and the choices of its
// window into new files in the source's output folder, through ffmpeg, inside the running job.
// The source is never written. A result is made in a hidden temporary item beside it and
// committed under a free name ("Talk Trimmed.m4a", then "Talk Trimmed 2.m4a", …); a failure or a
// cancel leaves nothing behind. Progress is this one file's fraction, 0…1. Every operation
// blocks, may run on any thread, and throws ConvertError; a cancel between two ffmpeg runs of one
// operation stops it before the next run starts.
namespace ToolOps {

// Audio. Results keep the source's extension, lower-cased, and its container's encoder; in
// mp3, m4a and flac they keep the source's cover pictures too.

// "<base> Trimmed.<ext>": the audio from `from` to `to` seconds. Fails with a plain message
// when the range lies past the end of this file.
QStringList trimAudio(const QString& source, double from, double to, Job& job, const Progress& progress);

// "<base> Stereo.<ext>" or "<base> Mono.<ext>": the channels mixed by channelFilter() of this
// file's own channel count with the gains `left` and `right` in percent (100 = unchanged).
QStringList channels(const QString& source, bool stereo, double left, double right, Job& job,
                     const Progress& progress);

// The pan filter for `stereo` (else mono) output of a source with `sourceChannels` channels and
// gains in percent. Sources with more than two channels are mixed down to stereo the standard
// way (centre and surrounds at −3 dB, no low-frequency channel) before the gains; their mono is
// the mean of that stereo. Example: stereo of stereo at 100 and 50 is
// "pan=stereo|c0=1.0*c0|c1=0.5*c1".
QString channelFilter(bool stereo, int sourceChannels, double left, double right);

// "<base> Bleeped.<ext>": the source silenced inside `ranges` (at least one; sorted by start
// here) and a 1000 Hz tone mixed into every channel there.
QStringList bleep(const QString& source, const QList<BleepRange>& ranges, Job& job, const Progress& progress);

// "<base> Normalized.<ext>": loudness normalised to `target`'s level, or for the peak target
// the loudest peak raised or lowered to −1 dB. A peak that cannot be measured fails the file.
QStringList normalize(const QString& source, LoudnessTarget target, Job& job, const Progress& progress);

// The loudness filter of a target other than peak, keeping the source's `sampleRate`.
QString loudnessFilter(LoudnessTarget target, int sampleRate);
// The peak target's gain for a loudest peak of `maxVolume` dB: "volume=6.50dB" for −7.5.
QString peakFilter(double maxVolume);

// "<base> Visualizer.mp4": a video of `shape`'s frame with the sound drawn in `style` and
// `color` (six hexadecimal digits, "FF5200") across a strip in its middle, over black or over
// the picture `background` (any image the image engine reads, scaled to cover the frame).
QStringList visualize(const QString& source, VisualShape shape, VisualStyle style, const QString& color,
                      const std::optional<QString>& background, Job& job, const Progress& progress);

} // namespace ToolOps
