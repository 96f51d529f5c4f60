#include "tools/audio/trim/trimaudiowork.h"

#include "core/scratchfolder.h"
#include "engines/media/chapters.h"
#include "engines/media/media.h"
#include "engines/media/toolargs.h"
#include "engines/media/toolrun.h"
#include "tools/audio/shared/audiowrite.h"

#include <QDir>

namespace {

QString pastTheEnd(const QString& source)
{
    return QStringLiteral("The chosen range lies past the end of %1").arg(ToolRun::fileName(source));
}

} // namespace

namespace TrimAudioWork {

QStringList args(const QString& source, double from, double to, const QString& ext,
                 const AudioWrite::Kept& kept, const QString& out)
{
    // Cut by a filter rather than -ss/-to on the output, which would drop a cover picture: its
    // one frame lies at the start.
    const QString cut = QStringLiteral("atrim=start=%1:end=%2,asetpts=PTS-STARTPTS")
                            .arg(ToolArgs::fixed(from, 3), ToolArgs::fixed(to, 3));
    return AudioWrite::filtered(source, cut, ext, kept, out);
}

QStringList selfCheck(const QString& samples, Job& job)
{
    return ToolOps::trimAudio(QDir(samples).filePath(QStringLiteral("song.mp3")), 0.5, 2.5, job,
                              [](double) {});
}

} // namespace TrimAudioWork

namespace ToolOps {

QStringList trimAudio(const QString& source, double from, double to, Job& job, const Progress& progress)
{
    ToolRun::checkSource(source);
    const QString ext = ToolRun::ext(source);
    const Media::Probe probe = Media::probe(source);
    ToolRun::refusePastTheEnd(from, probe.duration, pastTheEnd(source));
    AudioWrite::Kept kept = AudioWrite::kept(source, ext, false, job, TimeRange{from, to});
    // The filter that cuts leaves the source's times on its chapters: those that reach into the
    // cut go timed from it.
    const ScratchFolder scratch;
    if (const QList<Chapters::Chapter> chapters = Chapters::read(source); !chapters.isEmpty())
        kept.streams.chapters = Chapters::written(Chapters::cut(chapters, from, to, from), scratch.path());
    return ToolRun::write(
        {source, {from, to}}, QStringLiteral("Trimmed"), job, progress,
        [&](const QString& temporary) { return TrimAudioWork::args(source, from, to, ext, kept, temporary); },
        pastTheEnd(source), [&](const QString& temporary) { AudioWrite::finish(kept, temporary, job); });
}

} // namespace ToolOps
