#pragma once

#include "core/progress.h"
#include "tools/audio/shared/audiowrite.h"

#include <QString>
#include <QStringList>

class Job;

// The Convert Audio Channels tool's work on one file, on a worker thread. Blocks and throws
// ConvertError; the source is never written.
namespace ToolOps {

// "<base> Stereo.<ext>" or "<base> Mono.<ext>": the channels mixed by filter() of this file's own
// channel count with the gains `left` and `right` in percent (100 = unchanged).
QStringList channels(const QString& source, bool stereo, double left, double right, Job& job,
                     const Progress& progress);

// The pan filter for `stereo` (else mono) output of a source with `sourceChannels` channels and
// gains in percent. Sources with more than two channels are mixed down to stereo the standard
// way (centre and surrounds at −3 dB, no low-frequency channel, each side scaled so that its
// shares add up to 1) before the gains, as stereo sources are. Example: stereo of stereo at 100
// and 50 is "pan=stereo|c0=1.0*c0|c1=0.5*c1".
QString channelFilter(bool stereo, int sourceChannels, double left, double right);

} // namespace ToolOps

// What the operation is built from, and its self-test rows.
namespace AudioChannelsWork {

// The ffmpeg arguments of a result through `filter` in the container `ext` at `out`, with the
// source's cover pictures: what `kept` keeps (AudioWrite::kept()).
QStringList args(const QString& source, const QString& filter, const QString& ext,
                 const AudioWrite::Kept& kept, const QString& out);

// The self-test's row "mono": song.mp3 in `samples` to mono with the left side at 100 % and the
// right at 80 %.
QStringList selfCheck(const QString& samples, Job& job);

} // namespace AudioChannelsWork
