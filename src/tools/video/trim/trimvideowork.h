#pragma once

#include "core/progress.h"
#include "engines/media/toolchoices.h"

#include <QString>
#include <QStringList>

class Job;

// The Trim Video tool's work on one file, on a worker thread. Blocks and throws ConvertError; the
// source is never written, the result is committed under a free name and a failure or a cancel
// leaves nothing behind. Progress is this file's fraction, 0…1.
namespace ToolOps {

// "<base> Trimmed.<ext>": the part `range` of every stream, by stream copy cut at key frames when
// `fast`, re-encoded otherwise. Fails with a plain message when the range lies past the end.
QStringList trimVideo(const QString& source, TimeRange range, bool fast, Job& job, const Progress& progress);

} // namespace ToolOps

// What the operation is built from, and its self-test rows.
namespace TrimVideoWork {

// The self-test's row "trim video": clip.mp4 in `samples` from 0.5 s to 2.5 s, re-encoded.
QStringList checkReencoded(const QString& samples, Job& job);
// The row "trim video fast": the same by stream copy.
QStringList checkFast(const QString& samples, Job& job);

} // namespace TrimVideoWork
