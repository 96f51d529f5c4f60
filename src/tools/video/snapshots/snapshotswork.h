#pragma once

#include "core/progress.h"

#include <QList>
#include <QString>
#include <QStringList>

class Job;

// The Video Snapshots tool's work on one file, on a worker thread. Blocks and throws
// ConvertError; the source is never written. Progress is this file's fraction, 0…1.
namespace ToolOps {

// One PNG per time, in ascending time order, each the frame shown at its time: "<base>
// Snapshot.png" for one time, else "<base> Snapshot 1.png", "<base> Snapshot 2.png", … Frames
// saved before a cancel or a failure stay; a time past the end fails as nothing written.
QStringList snapshots(const QString& source, const QList<double>& times, Job& job, const Progress& progress);

} // namespace ToolOps

// What the operation is built from, and its self-test rows.
namespace SnapshotsWork {

// The ffmpeg arguments of one frame at `time` seconds written to `out`.
QStringList args(const QString& source, double time, const QString& out);

// The self-test's row "snapshots": clip.mp4 in `samples` at 0.5 s and 1.5 s.
QStringList selfCheck(const QString& samples, Job& job);

} // namespace SnapshotsWork
