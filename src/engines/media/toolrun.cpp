#include "engines/media/toolrun.h"

#include "core/converterror.h"
#include "core/inputcheck.h"
#include "core/job.h"
#include "core/output.h"
#include "engines/media/libav.h"
#include "engines/media/media.h"

#include <QFileInfo>
#include <algorithm>

namespace ToolRun {

std::optional<QString> extension(const QString& source)
{
    const QString e = ext(source);
    return e.isEmpty() ? std::nullopt : std::optional<QString>(e);
}

QString ext(const QString& source)
{
    return QFileInfo(source).suffix().toLower();
}

void checkSource(const QString& source)
{
    InputCheck::refuseGone(source);
    InputCheck::refuseSpecial(source);
    Media::require(QStringLiteral("ffmpeg"));
}

QString destination(const QString& source, const QString& suffix, const std::optional<QString>& ext)
{
    return Output::result(source, QLatin1Char(' ') + suffix, ext);
}

void ffmpeg(const QStringList& args, double duration, Job& job, const Progress& progress)
{
    job.throwIfCancelled();
    Media::ffmpeg(args, duration, &job, progress);
}

void requireContent(const QString& path, const QString& message)
{
    if (const auto contents = LibAv::contents(path)) {
        const bool reaches = std::max(contents->videoEnd.value_or(0), contents->audioEnd.value_or(0)) > 0;
        if (contents->opened && (contents->hasVideo || contents->hasAudio) && reaches) return;
        throw ConvertError::failed(message);
    }
    const Media::Probe probe = Media::probeWithFfprobe(path);
    if ((probe.audioCodec || probe.videoCodec) && probe.duration > 0) return;
    throw ConvertError::failed(message);
}

void refusePastTheEnd(double start, double duration, const QString& message)
{
    if (duration > 0 && start >= duration) throw ConvertError::failed(message);
}

double frameCut(const QString& source, double seconds)
{
    const std::optional<LibAv::ShownFrame> f = LibAv::shownFrame(source, seconds);
    return f ? f->cut : seconds;
}

TimeRange frameRange(const QString& source, TimeRange range, bool fast)
{
    // A fast cut starts at the key frame before the start, which holds the frame shown, and a cut
    // moved before a key frame would take the whole group before it.
    if (fast) return range;
    TimeRange frames{frameCut(source, range.start), range.end};
    const std::optional<LibAv::ShownFrame> end = LibAv::shownFrame(source, range.end);
    if (end && !end->last && end->cut > frames.start)
        frames.end = end->cut;
    else // no frame to end before (a range before the picture starts keeps its length)
        frames.end = std::max(range.end, frames.start + (range.end - range.start));
    return frames;
}

QStringList write(const QString& source, const QString& suffix, double duration, Job& job,
                  const Progress& progress, const std::function<QStringList(const QString&)>& argsFor,
                  const QString& empty)
{
    const QString target = destination(source, suffix, extension(source));
    return {Output::write(
        target,
        [&](const QString& temporary) {
            ffmpeg(argsFor(temporary), duration, job, progress);
            if (!empty.isEmpty()) requireContent(temporary, empty);
        },
        &job)};
}

QString fileName(const QString& path)
{
    return QFileInfo(path).fileName();
}

} // namespace ToolRun
