#include "tools/video/join/joinwork.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/scratchfolder.h"
#include "engines/media/chapters.h"
#include "engines/media/keptstreams.h"
#include "engines/media/toolrun.h"

#include <QDir>
#include <algorithm>
#include <climits>
#include <cmath>

// The join of videos into one MP4, with the sound tracks and text subtitles that every clip has.

namespace {

struct Clip
{
    JoinWork::JoinClip args;
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

QString n(int value)
{
    return QString::number(value);
}

} // namespace

namespace JoinWork {

std::optional<QString> clipWithoutPicture(const QStringList& clips,
                                          const QHash<QString, Media::Probe>& probes)
{
    for (const QString& clip : clips) {
        const auto probe = probes.constFind(clip);
        if (probe != probes.constEnd() && (probe->width <= 0 || probe->height <= 0)) return clip;
    }
    return std::nullopt;
}

QString noPicture(const QString& clip)
{
    return QStringLiteral("%1 has no picture to join").arg(ToolRun::fileName(clip));
}

QStringList args(const QList<JoinClip>& clips, const QString& out, int soundTracks,
                 const ToolArgs::Extras& extras)
{
    const JoinClip& first = clips.first();
    const int w = std::max(2, first.width / 2 * 2);
    const int h = std::max(2, first.height / 2 * 2);
    const int r = std::clamp(int(std::lround(first.fps)), 1, 60);
    QStringList inputs;
    for (const JoinClip& c : clips)
        inputs << QStringLiteral("-i") << c.path;
    QString g, pairs;
    int next = int(clips.size());
    for (int i = 0; i < clips.size(); ++i) {
        g += QStringLiteral(
                 "[%1:v:0]scale=%2:%3:force_original_aspect_ratio=decrease,pad=%2:%3:(ow-iw)/2:(oh-ih)/2,"
                 "setsar=1,fps=%4,format=yuv420p[v%1];")
                 .arg(n(i), n(w), n(h), n(r));
        if (soundTracks > 1) {
            pairs += QStringLiteral("[v%1]").arg(n(i));
            for (int k = 0; k < soundTracks; ++k) {
                g += QStringLiteral("[%1:a:%2]aresample=48000,aformat=channel_layouts=stereo[a%1_%2];")
                         .arg(n(i), n(k));
                pairs += QStringLiteral("[a%1_%2]").arg(n(i), n(k));
            }
        } else if (clips[i].audio) {
            g += QStringLiteral("[%1:a:0]aresample=48000,aformat=channel_layouts=stereo[a%1];").arg(n(i));
            pairs += QStringLiteral("[v%1][a%1]").arg(n(i));
        } else {
            // A silent track as long as the clip keeps the concatenation's sound in step.
            // "-f" right before "-i": the generated input is the one the guard leaves alone.
            inputs << QStringLiteral("-t") << ToolArgs::fixed(clips[i].duration, 3) << QStringLiteral("-f")
                   << QStringLiteral("lavfi") << QStringLiteral("-i")
                   << QStringLiteral("anullsrc=r=48000:cl=stereo");
            pairs += QStringLiteral("[v%1][%2:a]").arg(n(i), n(next++));
        }
    }
    QStringList maps{QStringLiteral("-map"), QStringLiteral("[v]")};
    QString outs = QStringLiteral("[v]");
    for (int k = 0; k < std::max(1, soundTracks); ++k) {
        const QString label = soundTracks > 1 ? QStringLiteral("[a%1]").arg(n(k)) : QStringLiteral("[a]");
        outs += label;
        maps << QStringLiteral("-map") << label;
    }
    g += pairs +
         QStringLiteral("concat=n=%1:v=1:a=%2").arg(n(int(clips.size())), n(std::max(1, soundTracks))) + outs;
    const int firstTrack = next;
    return inputs + ToolArgs::extraInputs(extras) + QStringList{QStringLiteral("-filter_complex"), g} + maps +
           QStringList{QStringLiteral("-c:v"),   QStringLiteral("libx264"),   QStringLiteral("-preset"),
                       QStringLiteral("medium"), QStringLiteral("-crf"),      QStringLiteral("20"),
                       QStringLiteral("-c:a"),   QStringLiteral("aac"),       QStringLiteral("-b:a"),
                       QStringLiteral("192k"),   QStringLiteral("-movflags"), QStringLiteral("+faststart")} +
           ToolArgs::extraOutputs(extras, firstTrack) + ToolArgs::keptTags() + QStringList{out};
}

QStringList selfCheck(const QString& samples, Job& job)
{
    const QDir dir(samples);
    return ToolOps::join({dir.filePath(QStringLiteral("clip.mp4")), dir.filePath(QStringLiteral("clip.mov"))},
                         job, {});
}

} // namespace JoinWork

namespace ToolOps {

QStringList join(const QStringList& clips, Job& job, const Progress& progress)
{
    if (clips.isEmpty()) throw ConvertError::unsupported(QStringLiteral("There are no clips to join"));
    QHash<QString, Media::Probe> probes;
    for (const QString& clip : clips) {
        ToolRun::checkSource(clip);
        probes.insert(clip, Media::probe(clip));
    }
    // The first clip sizes the whole join (a guessed size would be a 2 × 2 video), and ffmpeg
    // cannot join a clip without a picture: refused here, naming the clip.
    if (const std::optional<QString> blind = JoinWork::clipWithoutPicture(clips, probes))
        throw ConvertError::unsupported(JoinWork::noPicture(*blind));
    const ScratchFolder scratch;
    QList<Clip> probed;
    QList<ToolRun::Part> parts;
    int commonSound = INT_MAX;
    int commonText = INT_MAX;
    QList<ToolArgs::Extras::Copied> covers;
    for (int i = 0; i < clips.size(); ++i) {
        const QString& clip = clips[i];
        const Media::Probe p = probes.value(clip);
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
        // The joined film takes the first clip's covers; what it can't hold is named for each clip.
        const ToolArgs::Extras kept = KeptStreams::copied(
            clip, streams, QStringLiteral("mp4"), {.subtitles = false, .covers = i == 0}, folder, job);
        if (i == 0) covers = kept.copied;
        if (i > 0 &&
            std::any_of(streams.begin(), streams.end(), [](const Media::Stream& s) { return s.cover; }))
            job.addNote(
                QStringLiteral("The cover picture of %1 was left out: the joined film keeps the first "
                               "clip’s only")
                    .arg(ToolRun::fileName(clip)));
        commonSound = std::min(commonSound, int(c.sound.size()));
        commonText = std::min(commonText, int(c.text.size()));
        probed << c;
        parts << ToolRun::Part{clip, {0, p.duration}};
    }
    // A clip without sound gets a silent first track; further tracks only join when all have them.
    const int soundTracks = std::max(1, commonSound);
    QList<JoinWork::JoinClip> joinClips;
    ToolArgs::Extras extras;
    extras.copied = covers;
    // The joined film is the first clip's, taken where and when that clip was.
    extras.place = Media::keptPlace(probes.value(clips.first()), QStringLiteral("mp4"));
    for (const Clip& c : probed) {
        joinClips << c.args;
        QStringList left;
        for (qsizetype k = soundTracks; k < c.sound.size(); ++k)
            left << QStringLiteral("“%1”").arg(Media::streamName(c.sound[k], int(k) + 1));
        // One note for all of a clip's tracks, so that a panel can show it whole.
        if (left.size() == 1)
            job.addNote(QStringLiteral("The sound track %1 of %2 was left out: not every clip has it")
                            .arg(left.first(), ToolRun::fileName(c.args.path)));
        else if (left.size() > 1)
            job.addNote(
                QStringLiteral("The sound tracks %1 and %2 of %3 were left out: not every clip has them")
                    .arg(left.mid(0, left.size() - 1).join(QStringLiteral(", ")), left.last(),
                         ToolRun::fileName(c.args.path)));
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
    // Every clip's chapters, each clip's within its own length, laid end to end like its cues.
    QList<Chapters::Chapter> chapters;
    double offset = 0;
    for (const Clip& c : probed) {
        const double length = c.args.duration > 0 ? c.args.duration : 1e9;
        chapters += Chapters::cut(Chapters::read(c.args.path), 0, length, -offset);
        offset += c.args.duration;
    }
    // An MP4 file's chapters run from its start: its first chapter would be shown from 0 however
    // late it begins. The clips before the first with chapters are held by one with an empty
    // title: ffmpeg's writer mistimes a chapter that has no title at all.
    if (!chapters.isEmpty() && chapters.first().start >= 0.0005)
        chapters.prepend(
            Chapters::Chapter{0, chapters.first().start, {{QStringLiteral("title"), QString()}}});
    if (!chapters.isEmpty()) extras.chapters = Chapters::written(chapters, scratch.path());
    extras.tracks = KeptStreams::written(
                        joined, [](const KeptStreams::TextTrack& t) { return t.cues; }, scratch.path(),
                        QStringLiteral("joined"))
                        .tracks;
    const QString destination =
        ToolRun::destination(clips.first(), QStringLiteral("Joined"), QStringLiteral("mp4"));
    return {ToolRun::writeTo(destination, parts, job, progress, [&](const QString& temporary) {
        return JoinWork::args(joinClips, temporary, soundTracks, extras);
    })};
}

} // namespace ToolOps
