#include "engines/media/toolops.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/output.h"
#include "core/scratchfolder.h"
#include "core/stagingfolder.h"
#include "engines/media/keptstreams.h"
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
    const ToolArgs::Extras extras = streams.forRange(range, 1);
    const QString destination =
        ToolRun::destination(source, QStringLiteral("Trimmed"), ToolRun::extension(source));
    return {Output::write(
        destination,
        [&](const QString& temporary) {
            ToolRun::ffmpeg(ToolArgs::trimVideo(source, range, fast, ext, temporary, extras),
                            range.end - range.start, job, progress);
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
        ToolRun::ffmpeg(
            ToolArgs::trimVideo(source, parts[i], fast, ext, clip, streams.forRange(parts[i], i + 1)),
            parts[i].end - parts[i].start, job, [&](double p) {
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
                ToolRun::ffmpeg(ToolArgs::snapshot(source, sorted[i], temporary), 0, job, {});
            },
            &job);
        if (progress) progress(double(i + 1) / sorted.size());
    }
    return results;
}

} // namespace ToolOps
