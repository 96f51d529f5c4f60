#include "engines/media/toolops.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/output.h"
#include "core/scratchfolder.h"
#include "engines/media/keptstreams.h"
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
    const ToolArgs::Extras extras = KeptStreams::copied(Media::streams(source), ext, true, true, job);
    return writeVideo(
        source, QStringLiteral("Cropped"), duration, job, progress,
        [&](const QString& temporary) { return ToolArgs::cropVideo(source, rect, ext, temporary, extras); });
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
    const QList<Media::Stream> streams = Media::streams(source);
    ToolArgs::Extras extras = KeptStreams::copied(streams, ext, false, true, job);
    // Every sound track goes through its own tempo chain, at its own sample rate.
    QList<int> rates;
    for (const Media::Stream& a : Media::streamsOf(streams, Media::Stream::Kind::audio)) {
        rates << (a.sampleRate > 0 ? a.sampleRate : probe.sampleRate);
        extras.sound << ToolArgs::Extras::Tags{a.language, a.title};
    }
    if (rates.isEmpty() && probe.audioCodec) rates << probe.sampleRate;
    const ScratchFolder scratch;
    const QList<KeptStreams::TextTrack> text = KeptStreams::readText(
        source, streams, ext, QStringLiteral("picture subtitles can’t be retimed"), scratch.path(), job);
    extras.tracks =
        KeptStreams::written(
            text, [&](const QList<SubtitleCues::Cue>& cues) { return SubtitleCues::scaled(cues, speed); },
            scratch.path(), QStringLiteral("speed"))
            .tracks;
    return writeVideo(source, QStringLiteral("Speed ") + label, probe.duration / speed, job, progress,
                      [&](const QString& temporary) {
                          return ToolArgs::speed(source, speed, keepPitch, rates, ext, temporary, extras);
                      });
}

QStringList redactVideo(const QString& source, const QList<QRectF>& boxes, RedactStyle style,
                        const std::optional<TimeRange>& range, Job& job, const Progress& progress)
{
    if (boxes.isEmpty()) throw ConvertError::unsupported(QStringLiteral("There are no areas to redact"));
    ToolRun::checkSource(source);
    const QString ext = ToolRun::ext(source);
    const double duration = Media::probe(source).duration;
    // A cover picture may show what the boxes hide. The tracks' languages are not the file's
    // metadata that the copy leaves behind.
    const QList<Media::Stream> streams = Media::streams(source);
    ToolArgs::Extras extras = KeptStreams::copied(streams, ext, true, false, job);
    for (const Media::Stream& a : Media::streamsOf(streams, Media::Stream::Kind::audio))
        extras.sound << ToolArgs::Extras::Tags{a.language, {}};
    return writeVideo(source, QStringLiteral("Redacted"), duration, job, progress,
                      [&](const QString& temporary) {
                          return ToolArgs::redactVideo(source, boxes, style, range, ext, temporary, extras);
                      });
}

} // namespace ToolOps
