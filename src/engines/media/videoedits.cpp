#include "engines/media/toolops.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/output.h"
#include "engines/media/media.h"
#include "engines/media/toolargs.h"
#include "engines/media/toolrun.h"

#include <cmath>

// The operations that change a video's picture or pace, and the join.

namespace {

// One ffmpeg write into "<base> <suffix>.<ext>".
QStringList writeVideo(const QString& source, const QString& suffix, double duration, Job& job,
                       const Progress& progress, const std::function<QStringList(const QString&)>& argsFor)
{
    const QString destination = ToolRun::destination(source, suffix, ToolRun::extension(source));
    return {Output::write(
        destination,
        [&](const QString& temporary) { ToolRun::ffmpeg(argsFor(temporary), duration, job, progress); },
        &job)};
}

void checkSpeed(double speed)
{
    if (!std::isfinite(speed) || !(speed > 0))
        throw ConvertError::unsupported(QStringLiteral("The speed must be a number above zero"));
}

} // namespace

namespace ToolOps {

QStringList cropVideo(const QString& source, const QRectF& rect, Job& job, const Progress& progress)
{
    ToolRun::checkSource(source);
    const QString ext = ToolRun::ext(source);
    const double duration = Media::probe(source).duration;
    return writeVideo(
        source, QStringLiteral("Cropped"), duration, job, progress,
        [&](const QString& temporary) { return ToolArgs::cropVideo(source, rect, ext, temporary); });
}

QString atempo(double speed)
{
    checkSpeed(speed);
    // One atempo filter takes factors from 0.5 to 2; larger changes are chained.
    QStringList chain;
    while (speed > 2) {
        chain << QStringLiteral("atempo=2");
        speed /= 2;
    }
    while (speed < 0.5) {
        chain << QStringLiteral("atempo=0.5");
        speed *= 2;
    }
    chain << QStringLiteral("atempo=") + ToolArgs::fixed(speed, 4);
    return chain.join(QLatin1Char(','));
}

QStringList speed(const QString& source, double speed, bool keepPitch, const QString& label, Job& job,
                  const Progress& progress)
{
    checkSpeed(speed);
    ToolRun::checkSource(source);
    const QString ext = ToolRun::ext(source);
    const Media::Probe probe = Media::probe(source);
    const std::optional<int> rate = probe.audioCodec ? std::optional<int>(probe.sampleRate) : std::nullopt;
    return writeVideo(source, QStringLiteral("Speed ") + label, probe.duration / speed, job, progress,
                      [&](const QString& temporary) {
                          return ToolArgs::speed(source, speed, keepPitch, rate, ext, temporary);
                      });
}

QStringList join(const QStringList& clips, Job& job, const Progress& progress)
{
    if (clips.isEmpty()) throw ConvertError::unsupported(QStringLiteral("There are no clips to join"));
    QList<ToolArgs::JoinClip> probed;
    double total = 0;
    for (const QString& clip : clips) {
        ToolRun::checkSource(clip);
        const Media::Probe p = Media::probe(clip);
        probed << ToolArgs::JoinClip{clip, p.width, p.height, p.fps, p.audioCodec.has_value(), p.duration};
        total += p.duration;
    }
    // The first clip sizes the whole join; a guessed size would be a 2 × 2 video.
    if (probed.first().width <= 0 || probed.first().height <= 0)
        throw ConvertError::unsupported(QStringLiteral("%1 has no picture to size the joined video by")
                                            .arg(ToolRun::fileName(clips.first())));
    const QString destination =
        ToolRun::destination(clips.first(), QStringLiteral("Joined"), QStringLiteral("mp4"));
    return {Output::write(
        destination,
        [&](const QString& temporary) {
            ToolRun::ffmpeg(ToolArgs::join(probed, temporary), total, job, progress);
        },
        &job)};
}

QStringList redactVideo(const QString& source, const QList<QRectF>& boxes, RedactStyle style,
                        const std::optional<TimeRange>& range, Job& job, const Progress& progress)
{
    if (boxes.isEmpty()) throw ConvertError::unsupported(QStringLiteral("There are no areas to redact"));
    ToolRun::checkSource(source);
    const QString ext = ToolRun::ext(source);
    const double duration = Media::probe(source).duration;
    return writeVideo(source, QStringLiteral("Redacted"), duration, job, progress,
                      [&](const QString& temporary) {
                          return ToolArgs::redactVideo(source, boxes, style, range, ext, temporary);
                      });
}

} // namespace ToolOps
