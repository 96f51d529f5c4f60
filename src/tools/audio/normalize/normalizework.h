#pragma once

#include "core/progress.h"
#include "engines/media/toolchoices.h"
#include "tools/audio/shared/audiowrite.h"

#include <QString>
#include <QStringList>

class Job;

// The Normalize Volume tool's work on one file, on a worker thread. Blocks and throws
// ConvertError; the source is never written.
namespace ToolOps {

// "<base> Normalized.<ext>": loudness normalised to `target`'s level, or for the peak target
// the loudest peak raised or lowered to −1 dB. A peak that cannot be measured fails the file.
QStringList normalize(const QString& source, LoudnessTarget target, Job& job, const Progress& progress);

} // namespace ToolOps

// What the operation is built from, and its self-test rows.
namespace NormalizeWork {

// The loudness filter of a target other than peak, keeping the source's `sampleRate`.
QString loudnessFilter(LoudnessTarget target, int sampleRate);
// The peak target's gain for a loudest peak of `maxVolume` dB: "volume=6.50dB" for −7.5.
QString peakFilter(double maxVolume);

// The measuring pass of the peak target; its standard error names the loudest peak.
QStringList measureArgs(const QString& source);
// The ffmpeg arguments of a result through `filter` in the container `ext` at `out`, with the
// source's cover pictures: what `kept` keeps (AudioWrite::kept()).
QStringList args(const QString& source, const QString& filter, const QString& ext,
                 const AudioWrite::Kept& kept, const QString& out);

// The self-test's rows over song.mp3 in `samples`: "normalize" to the podcast loudness, and
// "normalize peak" with its loudest peak at −1 dB.
QStringList checkPodcast(const QString& samples, Job& job);
QStringList checkPeak(const QString& samples, Job& job);

} // namespace NormalizeWork
