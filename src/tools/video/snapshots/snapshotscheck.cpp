#include "tools/video/snapshots/snapshotscheck.h"

#include "engines/media/toolops.h"

#include <QDir>

namespace {

QString sample(const QString& samples, const char* name)
{
    return QDir(samples).filePath(QString::fromLatin1(name));
}

const Progress none = [](double) {};

} // namespace

namespace SnapshotsCheck {

QStringList snapshots(const QString& samples, Job& job)
{
    return ToolOps::snapshots(sample(samples, "clip.mp4"), {0.5, 1.5}, job, none);
}

} // namespace SnapshotsCheck
