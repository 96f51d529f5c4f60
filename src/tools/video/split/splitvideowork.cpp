#include "tools/video/split/splitvideowork.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/output.h"
#include "core/stagingfolder.h"
#include "engines/media/cutstreams.h"
#include "engines/media/media.h"
#include "engines/media/toolargs.h"
#include "engines/media/toolrun.h"

#include <QDir>

namespace SplitVideoWork {

QStringList selfCheck(const QString& samples, Job& job)
{
    return ToolOps::splitVideo(QDir(samples).filePath(QStringLiteral("clip.mp4")), {{0, 1.5}, {1.5, 3.0}},
                               false, job, {});
}

} // namespace SplitVideoWork

namespace ToolOps {

QStringList splitVideo(const QString& source, const QList<TimeRange>& parts, bool fast, Job& job,
                       const Progress& progress)
{
    if (parts.isEmpty()) throw ConvertError::unsupported(QStringLiteral("There are no parts to split into"));
    ToolRun::checkSource(source);
    const QString ext = ToolRun::ext(source);
    const QString base = Output::baseName(source);
    const auto pastTheEnd = [&](int i) {
        return QStringLiteral("Part %1 lies past the end of %2").arg(i + 1).arg(ToolRun::fileName(source));
    };
    const double duration = Media::probe(source).duration;
    for (int i = 0; i < parts.size(); ++i)
        ToolRun::refusePastTheEnd(parts[i].start, duration, pastTheEnd(i));
    const CutStreams streams(source, ext, fast, job);
    const QString destination = Output::result(source, QStringLiteral(" Clips"), std::nullopt);
    // Every clip is made in a hidden folder, so that a split delivers all its clips or none.
    StagingFolder staging(destination);
    const double count = double(parts.size());
    for (int i = 0; i < parts.size(); ++i) {
        const QString name = QStringLiteral("%1 Clip %2").arg(base).arg(i + 1) +
                             (ext.isEmpty() ? QString() : QLatin1Char('.') + ext);
        const QString clip = QDir(staging.path()).filePath(name);
        const TimeRange frames = ToolRun::frameRange(source, parts[i], fast);
        ToolRun::writeTo(
            clip, {{source, frames, 1, fast}}, job,
            [&](double p) {
                if (progress) progress((i + p) / count);
            },
            [&](const QString& temporary) {
                return ToolArgs::trimVideo(source, frames, fast, ext, temporary,
                                           streams.forRange(frames, i + 1));
            },
            pastTheEnd(i));
        if (progress) progress((i + 1) / count);
    }
    job.throwIfCancelled();
    return {staging.commit()};
}

} // namespace ToolOps
