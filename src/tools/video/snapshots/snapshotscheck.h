#pragma once

#include <QString>
#include <QStringList>

class Job;

// The video-snapshots tool's rows of the self-test: its operation once over the samples in `samples`, with
// fixed choices. Each returns what it wrote and throws ConvertError.
namespace SnapshotsCheck {

// "snapshots": clip.mp4 at 0.5 s and 1.5 s.
QStringList snapshots(const QString& samples, Job& job);

} // namespace SnapshotsCheck
