#include "engines/media/toolops.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/output.h"
#include "core/scratchfolder.h"
#include "engines/media/keptstreams.h"
#include "engines/media/media.h"
#include "engines/media/toolargs.h"
#include "engines/media/toolrun.h"

#include <QDir>
#include <algorithm>
#include <climits>

// The join of videos into one MP4, with the sound tracks and text subtitles that every clip has.

namespace {

struct Clip
{
    ToolArgs::JoinClip args;
    QList<Media::Stream> sound;
    QList<KeptStreams::TextTrack> text;
};

// Track k of every clip, each clip's cues within its own length, laid end to end.
KeptStreams::TextTrack joinedTrack(const QList<Clip>& clips, int k)
{
    KeptStreams::TextTrack joined = clips.first().text[k];
    joined.cues.clear();
    double offset = 0;
    for (const Clip& c : clips) {
        const double length = c.args.duration > 0 ? c.args.duration : 1e9;
        joined.cues += SubtitleCues::shifted(SubtitleCues::cut(c.text[k].cues, 0, length), offset);
        offset += c.args.duration;
    }
    return joined;
}

} // namespace

namespace ToolOps {

QStringList join(const QStringList& clips, Job& job, const Progress& progress)
{
    if (clips.isEmpty()) throw ConvertError::unsupported(QStringLiteral("There are no clips to join"));
    const ScratchFolder scratch;
    QList<Clip> probed;
    double total = 0;
    int commonSound = INT_MAX;
    int commonText = INT_MAX;
    for (int i = 0; i < clips.size(); ++i) {
        const QString& clip = clips[i];
        ToolRun::checkSource(clip);
        const Media::Probe p = Media::probe(clip);
        const QList<Media::Stream> streams = Media::streams(clip);
        Clip c{{clip, p.width, p.height, p.fps, p.audioCodec.has_value(), p.duration},
               Media::streamsOf(streams, Media::Stream::Kind::audio),
               {}};
        const QString folder = scratch.file(QString::number(i));
        if (!QDir().mkpath(folder))
            throw ConvertError::failed(
                QStringLiteral("A temporary folder could not be made for the subtitles"));
        c.text = KeptStreams::readText(clip, streams, QStringLiteral("mp4"),
                                       QStringLiteral("picture subtitles can’t be joined"), folder, job);
        commonSound = std::min(commonSound, int(c.sound.size()));
        commonText = std::min(commonText, int(c.text.size()));
        probed << c;
        total += p.duration;
    }
    // The first clip sizes the whole join; a guessed size would be a 2 × 2 video.
    if (probed.first().args.width <= 0 || probed.first().args.height <= 0)
        throw ConvertError::unsupported(QStringLiteral("%1 has no picture to size the joined video by")
                                            .arg(ToolRun::fileName(clips.first())));
    // A clip without sound gets a silent first track; further tracks only join when all have them.
    const int soundTracks = std::max(1, commonSound);
    QList<ToolArgs::JoinClip> args;
    ToolArgs::Extras extras;
    for (const Clip& c : probed) {
        args << c.args;
        for (qsizetype k = soundTracks; k < c.sound.size(); ++k)
            job.addNote(QStringLiteral("The sound track “%1” of %2 was left out: not every clip has it")
                            .arg(Media::streamName(c.sound[k], int(k) + 1), ToolRun::fileName(c.args.path)));
        for (qsizetype k = commonText; k < c.text.size(); ++k)
            KeptStreams::subtitleLeftOut(job, c.text[k].stream, int(k) + 1,
                                         QStringLiteral("not every clip has them"));
    }
    for (int k = 0; k < std::min(soundTracks, int(probed.first().sound.size())); ++k)
        extras.sound << ToolArgs::Extras::Tags{probed.first().sound[k].language,
                                               probed.first().sound[k].title};
    QList<KeptStreams::TextTrack> joined;
    for (int k = 0; k < commonText; ++k)
        joined << joinedTrack(probed, k);
    extras.tracks = KeptStreams::written(
                        joined, [](const QList<SubtitleCues::Cue>& cues) { return cues; }, scratch.path(),
                        QStringLiteral("joined"))
                        .tracks;
    const QString destination =
        ToolRun::destination(clips.first(), QStringLiteral("Joined"), QStringLiteral("mp4"));
    return {Output::write(
        destination,
        [&](const QString& temporary) {
            ToolRun::ffmpeg(ToolArgs::join(args, temporary, soundTracks, extras), total, job, progress);
        },
        &job)};
}

} // namespace ToolOps
