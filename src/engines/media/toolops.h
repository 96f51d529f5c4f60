#pragma once

#include "core/progress.h"
#include "engines/media/toolchoices.h"

#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <optional>

class Job;

// The editing operations of the video tools: each turns one source (a list for join)
// and the choices of its window into new files in the source's output folder, through ffmpeg,
// inside the running job. The source is never written. A result is made in a hidden temporary
// item beside it and committed under a free name ("Talk Trimmed.m4a", then "Talk Trimmed 2.m4a",
// …); a failure or a cancel leaves nothing behind. Progress is this one file's fraction, 0…1.
// Every operation blocks, may run on any thread, and throws ConvertError; a cancel between two
// ffmpeg runs of one operation stops it before the next run starts.
namespace ToolOps {

// Video. Results keep the source's extension unless stated otherwise; rectangles are unit
// rectangles of the picture (x, y from the top left, width, height, each 0…1).

// "<base> Trimmed.<ext>": the part `range` of every stream, by stream copy cut at key frames when
// `fast`, re-encoded otherwise. Fails with a plain message when the range lies past the end.
QStringList trimVideo(const QString& source, TimeRange range, bool fast, Job& job, const Progress& progress);

// The folder "<base> Clips" holding "<base> Clip 1.<ext>", … one per part in order; either all
// clips arrive in it or nothing does.
QStringList splitVideo(const QString& source, const QList<TimeRange>& parts, bool fast, Job& job,
                       const Progress& progress);

// "<base> Cropped.<ext>": the picture cut to `rect` (even sides), the audio copied.
QStringList cropVideo(const QString& source, const QRectF& rect, Job& job, const Progress& progress);

// "<base> Speed <label>.<ext>": played `speed` times as fast (above 0 and finite, else refused),
// the sound's pitch kept when `keepPitch`, else following the speed. `label` is the factor as
// the user saw it ("2x", ".25x").
QStringList speed(const QString& source, double speed, bool keepPitch, const QString& label, Job& job,
                  const Progress& progress);

// The tempo filter chain for a factor above 0: "atempo=2,atempo=1.5000" for 3.
QString atempo(double speed);

// One PNG per time, in ascending time order: "<base> Snapshot.png" for one time, else
// "<base> Snapshot 1.png", "<base> Snapshot 2.png", … Frames saved before a cancel or a
// failure stay.
QStringList snapshots(const QString& source, const QList<double>& times, Job& job, const Progress& progress);

// "<first clip's base> Joined.mp4" in the first clip's output folder: the clips in order, each
// fitted into the first clip's picture size at its frame rate, a silent track for clips without
// sound. Refused when the list is empty or the first clip has no picture size.
QStringList join(const QStringList& clips, Job& job, const Progress& progress);

// "<base> Redacted.<ext>": each of `boxes` (at least one) covered in turn in `style`, during
// `range` or the whole video; the audio copied, the file's global metadata dropped.
QStringList redactVideo(const QString& source, const QList<QRectF>& boxes, RedactStyle style,
                        const std::optional<TimeRange>& range, Job& job, const Progress& progress);

} // namespace ToolOps
