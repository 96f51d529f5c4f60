#pragma once

#include "core/progress.h"
#include "engines/media/toolargs.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class Job;

// The Change Video Speed tool's work on one file, on a worker thread. Blocks and throws
// ConvertError; the source is never written, the result is committed under a free name and a
// failure or a cancel leaves nothing behind. Progress is this file's fraction, 0…1.
namespace ToolOps {

// "<base> Speed <label>.<ext>": played `speed` times as fast (above 0 and finite, else refused
// before any work), the sound's pitch kept when `keepPitch`, else following the speed; every
// sound track, the text subtitles and the chapters retimed with the picture, which keeps the
// source's frame rate. `label` is the factor as the user
// saw it ("2x", ".25x").
QStringList speed(const QString& source, double speed, bool keepPitch, const QString& label, Job& job,
                  const Progress& progress);

// The tempo filter chain for a factor above 0: "atempo=2,atempo=1.5000" for 3. Refuses any other.
QString atempo(double speed);

} // namespace ToolOps

// What the operation is built from, and its self-test rows.
namespace SpeedWork {

// The picture's speed graph, to "[v]" with even sides, and, given the source's sample rate, the
// sound's to "[a]".
QString speedGraph(double speed, bool keepPitch, std::optional<int> sampleRate);
// The same for a sound track per sample rate: with several, track k is "[0:a:k]" to "[ak]".
QString speedGraph(double speed, bool keepPitch, const QList<int>& sampleRates);

// The ffmpeg arguments of that result in the container `ext` at `out`.
QStringList args(const QString& source, double speed, bool keepPitch, std::optional<int> sampleRate,
                 const QString& ext, const QString& out);
QStringList args(const QString& source, double speed, bool keepPitch, const QList<int>& sampleRates,
                 const QString& ext, const QString& out, const ToolArgs::Extras& extras);

// The self-test's row "speed 2x": clip.mp4 in `samples` twice as fast, its pitch kept.
QStringList checkTwice(const QString& samples, Job& job);
// The row "speed .25x": clip.mp4 at a quarter of its speed, its pitch following.
QStringList checkQuarter(const QString& samples, Job& job);

} // namespace SpeedWork
