#include "engines/media/toolops.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/output.h"
#include "core/scratchfolder.h"
#include "core/stagingfolder.h"
#include "engines/media/keptstreams.h"
#include "engines/media/libav.h"
#include "engines/media/media.h"
#include "engines/media/toolargs.h"
#include "engines/media/toolrun.h"

#include <QDir>
#include <algorithm>

// The operations that cut a video in time: trim, split and single frames.

namespace {

// What a cut from `source` carries besides its picture and sound. A stream copy takes the
// subtitles along as they are, cut at the same key frame as the picture; a re-encode starts
// exactly at the range, so the text subtitles are read once here and cut to each range.
class CutStreams
{
  public:
    CutStreams(const QString& source, const QString& ext, bool fast, Job& job)
    {
        const QList<Media::Stream> streams = Media::streams(source);
        m_base = KeptStreams::copied(streams, ext, fast, true, job);
        if (!fast)
            m_text = KeptStreams::readText(source, streams, ext,
                                           QStringLiteral("picture subtitles can’t be cut with the video"),
                                           m_scratch.path(), job);
    }

    ToolArgs::Extras forRange(TimeRange range, int part) const
    {
        ToolArgs::Extras extras = m_base;
        extras.tracks = KeptStreams::written(
                            m_text,
                            [&](const QList<SubtitleCues::Cue>& cues) {
                                return SubtitleCues::cut(cues, range.start, range.end);
                            },
                            m_scratch.path(), QStringLiteral("part%1").arg(part))
                            .tracks;
        return extras;
    }

  private:
    ScratchFolder m_scratch;
    ToolArgs::Extras m_base;
    QList<KeptStreams::TextTrack> m_text;
};

// Where ffmpeg starts to begin with the frame shown at `seconds`; ffmpeg itself would begin with
// the first frame at or after it.
double frameCut(const QString& source, double seconds)
{
    const std::optional<LibAv::ShownFrame> f = LibAv::shownFrame(source, seconds);
    return f ? f->cut : seconds;
}

// `range` in frames: from the one shown at its start up to the one shown at its end, which is left
// to what follows (the next clip of a split); a range that ends on the last frame keeps it. A fast
// cut keeps its times: it starts at the key frame before the start, which holds the frame shown,
// and a cut moved before a key frame would take the whole group before it.
TimeRange frameRange(const QString& source, TimeRange range, bool fast)
{
    if (fast) return range;
    TimeRange frames{frameCut(source, range.start), range.end};
    const std::optional<LibAv::ShownFrame> end = LibAv::shownFrame(source, range.end);
    if (end && !end->last && end->cut > frames.start)
        frames.end = end->cut;
    else // no frame to end before (a range before the picture starts keeps its length)
        frames.end = std::max(range.end, frames.start + (range.end - range.start));
    return frames;
}

} // namespace

namespace ToolOps {

QStringList trimVideo(const QString& source, TimeRange range, bool fast, Job& job, const Progress& progress)
{
    ToolRun::checkSource(source);
    const QString ext = ToolRun::ext(source);
    const QString pastTheEnd =
        QStringLiteral("The chosen range lies past the end of %1").arg(ToolRun::fileName(source));
    ToolRun::refusePastTheEnd(range.start, Media::probe(source).duration, pastTheEnd);
    const CutStreams streams(source, ext, fast, job);
    const TimeRange frames = frameRange(source, range, fast);
    const ToolArgs::Extras extras = streams.forRange(frames, 1);
    const QString destination =
        ToolRun::destination(source, QStringLiteral("Trimmed"), ToolRun::extension(source));
    return {Output::write(
        destination,
        [&](const QString& temporary) {
            ToolRun::ffmpeg(ToolArgs::trimVideo(source, frames, fast, ext, temporary, extras),
                            frames.end - frames.start, job, progress);
            ToolRun::requireContent(temporary, pastTheEnd);
        },
        &job)};
}

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
        const TimeRange frames = frameRange(source, parts[i], fast);
        ToolRun::ffmpeg(ToolArgs::trimVideo(source, frames, fast, ext, clip, streams.forRange(frames, i + 1)),
                        frames.end - frames.start, job, [&](double p) {
                            if (progress) progress((i + p) / count);
                        });
        ToolRun::requireContent(clip, pastTheEnd(i));
        if (progress) progress((i + 1) / count);
    }
    job.throwIfCancelled();
    return {staging.commit()};
}

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
        results << Output::write(
            destination,
            [&](const QString& temporary) {
                ToolRun::ffmpeg(ToolArgs::snapshot(source, frameCut(source, sorted[i]), temporary), 0, job,
                                {});
            },
            &job);
        if (progress) progress(double(i + 1) / sorted.size());
    }
    return results;
}

} // namespace ToolOps
