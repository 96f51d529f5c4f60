#pragma once

#include "core/progress.h"
#include "engines/media/toolchoices.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class Job;

// The steps every tool operation shares: checking the source, naming the result, running
// ffmpeg and looking at what it wrote.
namespace ToolRun {

// The source's extension, lower-cased; none when it has none.
std::optional<QString> extension(const QString& source);
// The same as text, empty when there is none.
QString ext(const QString& source);

// Refuses a source that is gone or that is a pipe, device or socket, and a missing ffmpeg.
void checkSource(const QString& source);

// The first free "<base> <suffix>.<ext>" in the source's output folder.
QString destination(const QString& source, const QString& suffix, const std::optional<QString>& ext);

// One ffmpeg run of an operation, after the job's cancel flag is looked at: a cancel that came
// since the previous run stops here.
void ffmpeg(const QStringList& args, double duration, Job& job, const Progress& progress);

// Throws `message` when the file at `path` holds no stream or lasts no time: ffmpeg writes such
// an empty file, and exits as if it succeeded, for a range that starts past the source's end.
void requireContent(const QString& path, const QString& message);

// Throws `message` when a range that starts at `start` seconds begins at or after the end of a
// source of `duration` seconds (0: unknown). A stream copy seeking there copies from the last key
// frame instead, so a result that has content is not yet proof of the right range.
void refusePastTheEnd(double start, double duration, const QString& message);

// Where ffmpeg starts to begin with the frame of `source` shown at `seconds`; ffmpeg itself
// would begin with the first frame at or after it.
double frameCut(const QString& source, double seconds);

// `range` of `source` in frames: from the one shown at its start up to the one shown at its end,
// which is left to what follows (the next clip of a split); a range that ends on the last frame
// keeps it. A `fast` cut (stream copy) starts where ffmpeg's seek lands on the key frame that
// copyFrom() names (copySeek()), and keeps its end.
TimeRange frameRange(const QString& source, TimeRange range, bool fast);

// Where a stream copy of `source` that shows the frame at `seconds` begins: the last key frame at
// or before that frame; `seconds` itself when nothing tells.
double copyFrom(const QString& source, double seconds);

// The seek (-ss before the input) that makes ffmpeg begin a stream copy of `source` at
// copyFrom() `seconds`, no earlier and no later: ffmpeg seeks a little earlier than asked in
// some formats, and some seek by decoding times, either of which can land a whole key-frame
// interval away. `seconds` when no seek is known to land there.
double copySeek(const QString& source, double seconds);

// What a result is made of, to tell how long it should last: `range` of `source`, in the
// source's seconds, played at `speed`. A join is made of one part per clip; an empty range
// stands for one frame (a still PNG picture). A stream copy (`copied`) begins at copyFrom() its
// range's start.
struct Part
{
    QString source;
    TimeRange range;
    double speed = 1;
    bool copied = false;
};

// How long `parts` last one after another, in seconds.
double length(const QList<Part>& parts);

// Throws when the file at `path`, shown to the user as `name`, holds other than `parts`: a
// still picture that is not a whole PNG; anything else ending well before their length or well
// after it, with its picture or sound beginning more than a frame after its start, or, made of
// a stream copy, with a picture or sound that gives no frame at its start or its end. A source
// whose own packets stop before the length its header states (a cut-off download) gives what it
// holds: that passes, with a note on `job` naming the source.
void requireLength(const QString& path, const QString& name, const QList<Part>& parts, Job& job);

// One ffmpeg run writing `destination` through its hidden temporary file, which is committed
// once it holds `parts` (requireLength); the progress runs over their length. `argsFor` gives
// the arguments that write the temporary path it is handed. With `empty`, a result that holds
// no stream or lasts no time fails with that message first. `finish`, when given, works on the
// temporary file once ffmpeg has written it. Returns where the result landed.
QString writeTo(const QString& destination, const QList<Part>& parts, Job& job, const Progress& progress,
                const std::function<QStringList(const QString&)>& argsFor, const QString& empty = {},
                const std::function<void(const QString&)>& finish = {});

// writeTo() "<base> <suffix>.<ext>" with the extension of `made.source`, which the result is
// made of.
QStringList write(const Part& made, const QString& suffix, Job& job, const Progress& progress,
                  const std::function<QStringList(const QString&)>& argsFor, const QString& empty = {},
                  const std::function<void(const QString&)>& finish = {});

// "Talk.m4a", for messages.
QString fileName(const QString& path);

} // namespace ToolRun
