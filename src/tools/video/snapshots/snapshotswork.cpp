#include "tools/video/snapshots/snapshotswork.h"

#include "engines/media/toolargs.h"
#include "engines/media/toolrun.h"

#include <QDir>
#include <algorithm>

namespace SnapshotsWork {

QStringList args(const QString& source, double time, const QString& out)
{
    return {QStringLiteral("-ss"),
            ToolArgs::fixed(time, 3),
            QStringLiteral("-i"),
            source,
            QStringLiteral("-frames:v"),
            QStringLiteral("1"),
            QStringLiteral("-update"),
            QStringLiteral("1"),
            out};
}

QStringList selfCheck(const QString& samples, Job& job)
{
    return ToolOps::snapshots(QDir(samples).filePath(QStringLiteral("clip.mp4")), {0.5, 1.5}, job, {});
}

} // namespace SnapshotsWork

namespace ToolOps {

QStringList snapshots(const QString& source, const QList<double>& times, Job& job, const Progress& progress)
{
    ToolRun::checkSource(source);
    QList<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    QStringList results;
    for (int i = 0; i < sorted.size(); ++i) {
        const QString suffix =
            sorted.size() == 1 ? QStringLiteral("Snapshot") : QStringLiteral("Snapshot %1").arg(i + 1);
        const QString destination = ToolRun::destination(source, suffix, QStringLiteral("png"));
        // A time past the end writes no frame, which the commit reports as nothing written.
        results << ToolRun::writeTo(
            destination, {{source, {sorted[i], sorted[i]}}}, job, {}, [&](const QString& temporary) {
                return SnapshotsWork::args(source, ToolRun::frameCut(source, sorted[i]), temporary);
            });
        if (progress) progress(double(i + 1) / sorted.size());
    }
    return results;
}

} // namespace ToolOps
