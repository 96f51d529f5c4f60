#pragma once

#include "core/progress.h"
#include "engines/media/toolchoices.h"

#include <QList>
#include <QString>
#include <QStringList>

class Job;

// The Split Video tool's work on one file, on a worker thread. Blocks and throws ConvertError; the
// source is never written. Progress is this file's fraction, 0…1; a cancel between two clips stops
// the split before the next one starts.
namespace ToolOps {

// The folder "<base> Clips" holding "<base> Clip 1.<ext>", … one per part in order, each cut like
// a trim (stream copy when `fast`); either all clips arrive in it or nothing does. Fails with a
// plain message naming the part that lies past the end.
QStringList splitVideo(const QString& source, const QList<TimeRange>& parts, bool fast, Job& job,
                       const Progress& progress);

} // namespace ToolOps

// What the operation is built from, and its self-test rows.
namespace SplitVideoWork {

// The self-test's row "split video": clip.mp4 in `samples` into 0–1.5 s and 1.5–3 s, re-encoded.
QStringList selfCheck(const QString& samples, Job& job);

} // namespace SplitVideoWork
