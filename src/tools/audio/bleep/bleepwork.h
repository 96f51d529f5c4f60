#pragma once

#include "core/progress.h"
#include "engines/media/toolchoices.h"
#include "tools/audio/shared/audiowrite.h"

#include <QList>
#include <QString>
#include <QStringList>

class Job;

// The Bleep Audio tool's work on one file, on a worker thread, and the filter its preview plays.
// The operation blocks and throws ConvertError; the source is never written.
namespace ToolOps {

// "<base> Bleeped.<ext>": the source silenced inside `ranges` (at least one; sorted by start
// here) and a 1000 Hz tone mixed into every channel there.
QStringList bleep(const QString& source, const QList<BleepRange>& ranges, Job& job, const Progress& progress);

} // namespace ToolOps

namespace Bleeper {

// The four ffmpeg arguments ("-filter_complex", graph, "-map", "[out]") that silence `ranges`
// (in the order given) of a source with `channels` channels and mix a 1000 Hz tone into each of
// them there. The tone is made at `sampleRate`, the source's, which the mix then keeps. An empty
// list changes nothing.
QStringList filter(const QList<BleepRange>& ranges, int channels, int sampleRate = 48000);

} // namespace Bleeper

// What the operation is built from, and its self-test rows.
namespace BleepWork {

// The ffmpeg arguments of the result for `sorted` ranges of a source with `channels` channels at
// `sampleRate`, in the container `ext` at `out`, with what `kept` keeps (AudioWrite::kept()).
QStringList args(const QString& source, const QList<BleepRange>& sorted, int channels, int sampleRate,
                 const QString& ext, const AudioWrite::Kept& kept, const QString& out);

// The self-test's row "bleep": song.mp3 in `samples` bleeped from 0.5 to 1.0 s and from 2.0 to
// 2.4 s.
QStringList selfCheck(const QString& samples, Job& job);

} // namespace BleepWork
