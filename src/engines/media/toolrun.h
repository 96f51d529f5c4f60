#pragma once

#include "core/progress.h"
#include "engines/media/toolchoices.h"

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
// keeps it. A `fast` cut (stream copy) keeps its times.
TimeRange frameRange(const QString& source, TimeRange range, bool fast);

// One ffmpeg run writing "<base> <suffix>.<ext>" with the source's extension: `argsFor` gives
// the arguments that write the hidden temporary file it is handed, which is then committed. With
// `empty`, a result that holds no stream or lasts no time fails with that message instead.
QStringList write(const QString& source, const QString& suffix, double duration, Job& job,
                  const Progress& progress, const std::function<QStringList(const QString&)>& argsFor,
                  const QString& empty = {});

// "Talk.m4a", for messages.
QString fileName(const QString& path);

} // namespace ToolRun
