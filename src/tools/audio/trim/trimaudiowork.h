#pragma once

#include "core/progress.h"
#include "tools/audio/shared/audiowrite.h"

#include <QString>
#include <QStringList>

class Job;

// The Trim Audio tool's work on one file, on a worker thread. Blocks and throws ConvertError;
// the source is never written.
namespace ToolOps {

// "<base> Trimmed.<ext>": the audio from `from` to `to` seconds. Fails with a plain message
// when the range lies past the end of this file.
QStringList trimAudio(const QString& source, double from, double to, Job& job, const Progress& progress);

} // namespace ToolOps

// What the operation is built from, and its self-test rows.
namespace TrimAudioWork {

// The ffmpeg arguments of that result in the container `ext` at `out`, with the source's cover
// pictures: what `kept` keeps (AudioWrite::kept()).
QStringList args(const QString& source, double from, double to, const QString& ext,
                 const AudioWrite::Kept& kept, const QString& out);

// The self-test's row "trim audio": song.mp3 in `samples` from 0.5 s to 2.5 s.
QStringList selfCheck(const QString& samples, Job& job);

} // namespace TrimAudioWork
