#include "tools/video/trim/trimvideowork.h"

#include "engines/media/cutstreams.h"
#include "engines/media/media.h"
#include "engines/media/toolargs.h"
#include "engines/media/toolrun.h"

#include <QDir>

namespace TrimVideoWork {

QStringList checkReencoded(const QString& samples, Job& job)
{
    return ToolOps::trimVideo(QDir(samples).filePath(QStringLiteral("clip.mp4")), {0.5, 2.5}, false, job, {});
}

QStringList checkFast(const QString& samples, Job& job)
{
    return ToolOps::trimVideo(QDir(samples).filePath(QStringLiteral("clip.mp4")), {0.5, 2.5}, true, job, {});
}

} // namespace TrimVideoWork

namespace ToolOps {

QStringList trimVideo(const QString& source, TimeRange range, bool fast, Job& job, const Progress& progress)
{
    ToolRun::checkSource(source);
    const QString ext = ToolRun::ext(source);
    const QString pastTheEnd =
        QStringLiteral("The chosen range lies past the end of %1").arg(ToolRun::fileName(source));
    ToolRun::refusePastTheEnd(range.start, Media::probe(source).duration, pastTheEnd);
    const CutStreams streams(source, ext, fast, job);
    const TimeRange frames = ToolRun::frameRange(source, range, fast);
    const ToolArgs::Extras extras = streams.forRange(frames, 1);
    return ToolRun::write(
        {source, frames, 1, fast}, QStringLiteral("Trimmed"), job, progress,
        [&](const QString& temporary) {
            return ToolArgs::trimVideo(source, frames, fast, ext, temporary, extras);
        },
        pastTheEnd);
}

} // namespace ToolOps
