#include "engines/media/media.h"

#include "core/converterror.h"
#include "core/fmt.h"
#include "core/job.h"
#include "core/scratchfolder.h"
#include "engines/media/chapters.h"
#include "engines/media/copycheck.h"
#include "engines/media/ffmpegdescription.h"
#include "engines/media/firstrun.h"
#include "engines/media/keptstreams.h"
#include "engines/media/libav.h"
#include "engines/media/oggchapters.h"
#include "engines/media/wavereading.h"

#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

namespace {

LibAv::Reading readSource(const QString& source)
{
    // A WAVE file's header tells all there is to read of it, without loading the libraries.
    if (auto wave = WaveReading::read(source)) return *wave;
    if (auto reading = LibAv::read(source)) return *reading;
    LibAv::Reading r;
    r.probe = Media::probeWithFfprobe(source);
    r.videoSeconds = r.audioSeconds = r.probe.duration;
    r.streams = Media::streams(source);
    return r;
}

// What a file of this kind usually holds, judged by its extension. The first run is started on
// this guess, and on the guess that the file holds no other streams, while the file is read; a
// wrong guess costs a restart once the reading is in.
Media::Probe usualStreams(const QString& source)
{
    const QString ext = QFileInfo(source).suffix().toLower();
    Media::Probe guess;
    const auto holds = [&](const char* video, const char* audio) {
        if (video) guess.videoCodec = QString::fromLatin1(video);
        if (audio) guess.audioCodec = QString::fromLatin1(audio);
    };
    if (Media::isAudioTarget(ext))
        holds(nullptr, "audio");
    else if (ext == QLatin1String("webm"))
        holds("vp9", "opus");
    else if (ext == QLatin1String("avi"))
        holds("mpeg4", "mp3");
    else if (ext == QLatin1String("wmv"))
        holds("wmv2", "wmav2");
    else if (ext == QLatin1String("gif"))
        holds("gif", nullptr);
    else
        holds("h264", "aac");
    return guess;
}

// The streams of a file that holds the picture and sound `guess` names and nothing else, in the
// order ffmpeg writes them.
QList<Media::Stream> plainStreams(const Media::Probe& guess)
{
    QList<Media::Stream> streams;
    if (guess.videoCodec) {
        Media::Stream video;
        video.kind = Media::Stream::Kind::video;
        video.codec = *guess.videoCodec;
        streams << video;
    }
    if (guess.audioCodec) {
        Media::Stream audio;
        audio.index = int(streams.size());
        audio.kind = Media::Stream::Kind::audio;
        audio.codec = *guess.audioCodec;
        streams << audio;
    }
    return streams;
}

// Whether ffmpeg's own report shows the whole result, so that nothing needs reading back: it
// described the source with a stated length, no shorter than the reading's, wrote the target's
// format with the streams asked for, said no error, reached that length with each of those
// streams, and the file holds every byte it says it wrote.
bool shownWhole(const Media::FfmpegReport& report, const FfmpegDescription& said,
                const LibAv::Reading& reading, const QString& source, const QString& output, bool audio,
                const QString& target)
{
    // A line break in a name could pose as a line of the description.
    static const QRegularExpression lineBreak(QStringLiteral("[\\r\\n]"));
    if (source.contains(lineBreak) || output.contains(lineBreak)) return false;
    if (!said.input || !(said.input->duration > 0) || !report.ended || !report.errors.isEmpty()) return false;
    // Of a WAVE file cut short, ffmpeg states the length of the data there, the reading the
    // header's.
    const double promised = std::max(reading.videoSeconds, reading.audioSeconds);
    if (promised > said.input->duration + std::max(0.25, 0.005 * promised)) return false;
    if (said.outputFormat.isEmpty() || said.outputFormat != LibAv::muxerFor(target)) return false;
    const bool wantsVideo = !audio;
    const bool wantsAudio = audio || (target != QLatin1String("gif") && said.input->audioCodec);
    if ((wantsVideo && !said.outputVideo) || (wantsAudio && !said.outputAudio)) return false;
    const double stated = said.input->duration;
    const double least = stated - std::max(0.25, 0.005 * stated);
    if (!report.outSeconds || *report.outSeconds < least) return false;
    // ffmpeg's time is its furthest stream's: each stream asked for must show on its own that it
    // is whole, so that one of them stopping early can't pass.
    if (!said.streamsReach(least, wantsVideo, wantsAudio)) return false;
    return report.outBytes && *report.outBytes > 0 && QFileInfo(output).size() == *report.outBytes;
}

// Conversions running in this process now. While they fill the cores, each new ffmpeg runs its
// decoding, filtering and encoding on one thread: more would only contend with the others'.
std::atomic<int> running{0};

QStringList oneThreadWhenFull(QStringList args)
{
    if (running.load() < QThread::idealThreadCount()) return args;
    args.insert(args.size() - 1, QStringLiteral("1"));
    args.insert(args.size() - 2, QStringLiteral("-threads"));
    return QStringList{QStringLiteral("-threads"), QStringLiteral("1")} + args;
}

// Whether packets of one kind reach about as far as `expected` seconds (0: unknown), give or
// take the encoders' padding, frame rounding and sources whose header misstates their length.
bool reaches(const std::optional<double>& end, double expected)
{
    return end && (expected <= 0 || *end >= expected - std::max(1.0, 0.1 * expected));
}

QString seconds(double s)
{
    return s < 60 ? QStringLiteral("%1 s").arg(qRound(s)) : Fmt::time(s, false);
}

// "0.5 s", "12 s", "1:05:00", for what a result holds.
QString measured(double s)
{
    return s < 10 ? QString::number(s, 'f', 1) + QStringLiteral(" s") : seconds(s);
}

// Whether the wanted streams of a file reach about as far as the source states.
bool whole(const LibAv::Contents& c, const LibAv::Reading& source, bool video, bool audio)
{
    return (!video || reaches(c.videoEnd, source.videoSeconds)) &&
           (!audio || reaches(c.audioEnd, source.audioSeconds));
}

// Which of the wanted streams of a result stops short of the source, and where.
QString shortfall(const LibAv::Contents& c, const LibAv::Reading& source, bool video)
{
    const bool picture = video && !reaches(c.videoEnd, source.videoSeconds);
    return QStringLiteral("its %1 lasts %2 of %3")
        .arg(picture ? QStringLiteral("picture") : QStringLiteral("sound"),
             measured((picture ? c.videoEnd : c.audioEnd).value_or(0)),
             measured(picture ? source.videoSeconds : source.audioSeconds));
}

// Whether the wanted streams of a result reach about as far as the source's packets do.
bool holdsAll(const LibAv::Contents& result, const LibAv::Contents& source, bool video, bool audio)
{
    return (!video || reaches(result.videoEnd, source.videoEnd.value_or(0))) &&
           (!audio || reaches(result.audioEnd, source.audioEnd.value_or(0)));
}

// Throws when the result lacks a stream it should have or stops short. A result that holds
// all that ffmpeg wrote but not the source's stated length is fine when the source itself ends
// early (a half-downloaded file): it is converted as far as it goes, and the note says so.
std::optional<QString> checkResult(const QString& source, const QString& output,
                                   const LibAv::Reading& reading, bool audio, const QString& target,
                                   const Media::FfmpegReport& report)
{
    if (QFileInfo(output).size() <= 0)
        throw Media::incomplete(report.errors, QStringLiteral("nothing was written"));
    const auto contents = LibAv::contents(output, target);
    if (!contents) return std::nullopt; // nothing to look inside with
    if (!contents->opened) throw Media::incomplete(report.errors, QStringLiteral("it can’t be read back"));
    const bool wantsVideo = !audio;
    const bool wantsAudio = audio || (target != QLatin1String("gif") && reading.probe.audioCodec);
    if (wantsVideo && !contents->hasVideo)
        throw ConvertError::failed(QStringLiteral("The result has no picture"));
    if (wantsAudio && !contents->hasAudio)
        throw ConvertError::failed(QStringLiteral("The result has no sound"));
    if ((wantsVideo && !contents->videoEnd) || (wantsAudio && !contents->audioEnd))
        throw Media::incomplete(report.errors,
                                QStringLiteral("its %1 holds nothing")
                                    .arg(wantsVideo && !contents->videoEnd ? QStringLiteral("picture")
                                                                           : QStringLiteral("sound")));

    // As far as ffmpeg says it wrote: a file cut short on its way to the disk ends early. ffmpeg
    // counts from the source's zero, so where the source's streams begin later than that (sound
    // that starts a second in), the result reaches that much less, whether it keeps the start
    // (MP4) or begins at once (WAV, FLAC, MP3).
    // ffmpeg's time is its furthest stream's, which may be a further sound track.
    const double reach = std::max(
        {contents->videoEnd.value_or(0), contents->audioEnd.value_or(0), contents->furthestEnd.value_or(0)});
    // The source's packets, read once and only where they are needed.
    std::optional<std::optional<LibAv::Contents>> sourceContents;
    const auto held = [&]() -> const std::optional<LibAv::Contents>& {
        if (!sourceContents) sourceContents = LibAv::contents(source);
        return *sourceContents;
    };
    const auto lead = [&] {
        const std::optional<LibAv::Contents>& c = held();
        if (!c) return 0.0;
        double first = std::numeric_limits<double>::infinity();
        if (wantsVideo && c->videoStart) first = std::min(first, *c->videoStart);
        if (wantsAudio && c->audioStart) first = std::min(first, *c->audioStart);
        return std::isfinite(first) ? std::max(0.0, first - reading.start) : 0.0;
    };
    if (report.outSeconds) {
        const double wrote = *report.outSeconds - std::max(0.5, 0.02 * *report.outSeconds);
        if (reach < wrote && reach + lead() < wrote)
            throw Media::incomplete(report.errors, QStringLiteral("it holds %1 of the %2 ffmpeg wrote")
                                                       .arg(measured(reach), measured(*report.outSeconds)));
    }
    if (whole(*contents, reading, wantsVideo, wantsAudio)) return std::nullopt;
    // Short of the stated length: ffmpeg stopped early unless the source's own packets stop too,
    // and the result holds them all.
    if (!report.outSeconds || !held() || whole(*held(), reading, wantsVideo, wantsAudio) ||
        !holdsAll(*contents, *held(), wantsVideo, wantsAudio))
        throw Media::incomplete(report.errors, shortfall(*contents, reading, wantsVideo));
    const double converted =
        std::min(wantsVideo ? *contents->videoEnd : reach, wantsAudio ? *contents->audioEnd : reach);
    const double stated =
        std::max(wantsVideo ? reading.videoSeconds : 0, wantsAudio ? reading.audioSeconds : 0);
    return QStringLiteral("The file is cut short: %1 of %2 converted")
        .arg(seconds(converted), seconds(stated));
}

// A sound file holds one sound track: a film's default one, else its first. The note names the
// others. -1 when the source has none.
int oneSoundTrack(const QList<Media::Stream>& streams, const QString& target, Job& notes)
{
    const QList<Media::Stream> sound = Media::streamsOf(streams, Media::Stream::Kind::audio);
    if (sound.isEmpty()) return -1;
    const auto chosen =
        std::find_if(sound.begin(), sound.end(), [](const Media::Stream& s) { return s.isDefault; });
    const int kept = chosen != sound.end() ? chosen->index : sound.first().index;
    for (int k = 0; k < sound.size(); ++k)
        if (sound[k].index != kept)
            notes.addNote(QStringLiteral("The sound track “%1” was left out: %2 files hold only one")
                              .arg(Media::streamName(sound[k], k + 1), KeptStreams::containerName(target)));
    return kept;
}

// The subtitles, covers and attachments a conversion carries, with a note on the job for what
// the target can't hold. A GIF holds none of them; an audio target holds only covers and one
// sound track: a film's picture is what converting it to sound leaves behind, and its subtitles,
// its further sound tracks and its attached files (fonts, pictures) are named. `reading` is the
// source's own, none for the first run's guess.
ToolArgs::Extras sideStreams(const QString& source, QList<Media::Stream> streams,
                             const LibAv::Reading* reading, bool audio, const QString& target,
                             const QString& folder, Job* job)
{
    Job quiet(QString(), QString(), 0);
    Job& notes = job ? *job : quiet;
    if (audio) {
        ToolArgs::Extras extras;
        extras.pictures = 0;
        extras.soundTrack = oneSoundTrack(streams, target, notes);
        // A guess knows of no chapters: a source that has some restarts the first run.
        if (target == QLatin1String("opus") && reading)
            extras.soundComments = LibAv::available()
                                       ? OggChapters::of(reading->chapters, reading->start, notes)
                                       : OggChapters::of(source, notes);
        const QList<Media::Stream> attachments = Media::streamsOf(streams, Media::Stream::Kind::attachment);
        for (int k = 0; k < attachments.size(); ++k)
            KeptStreams::attachmentLeftOut(notes, attachments[k], k + 1, target);
        const QList<Media::Stream> subtitles = Media::streamsOf(streams, Media::Stream::Kind::subtitle);
        for (int k = 0; k < subtitles.size(); ++k)
            KeptStreams::subtitleLeftOut(notes, subtitles[k], k + 1,
                                         QStringLiteral("the result holds sound only"));
        streams.removeIf([](const Media::Stream& s) { return !s.cover; });
        // An AIFF is written with an ID3 chunk, which holds the covers beside every tag.
        if (!KeptStreams::holdsCovers(target, {.picture = false, .id3Chunk = true})) {
            if (!streams.isEmpty())
                notes.addNote(
                    QStringLiteral("The cover picture was left out: %1 files written here can’t hold it")
                        .arg(KeptStreams::containerName(target)));
            return extras;
        }
        for (const Media::Stream& s : streams)
            extras.copied << ToolArgs::Extras::Copied{
                s.index, QStringLiteral("copy"), ToolArgs::Extras::Copied::As::cover, {}, {}};
        return extras;
    }
    ToolArgs::Extras extras = KeptStreams::copied(source, streams, target, {}, folder, notes);
    // Every sound track is mapped, and tagged again where the target names its language otherwise.
    const QList<Media::Stream> sound = Media::streamsOf(streams, Media::Stream::Kind::audio);
    if (std::any_of(sound.begin(), sound.end(), [&](const Media::Stream& s) {
            return KeptStreams::language(s.language, target) != s.language;
        }))
        for (const Media::Stream& s : sound)
            extras.sound << ToolArgs::Extras::Tags{KeptStreams::language(s.language, target), s.title};
    return extras;
}

// Whether the run `args` copies the picture and sound as they are.
bool copies(const QStringList& args)
{
    const qsizetype c = args.indexOf(QStringLiteral("-c"));
    return c >= 0 && args.value(c + 1) == QLatin1String("copy");
}

// A stream copy is done once what it copied decodes in its new container, as `check` read it
// where there is one; otherwise the error that calls for a re-encode.
std::optional<ConvertError> undecodableCopy(const QStringList& args, const QString& output,
                                            const QString& target, const CopyCheck* check = nullptr)
{
    if (!copies(args)) return std::nullopt;
    const std::optional<QString> kind = check ? check->undecodable() : LibAv::undecodable(output, target);
    if (!kind) return std::nullopt;
    return ConvertError::failed(QStringLiteral("The %1 copied as it is can’t be played from %2 files")
                                    .arg(*kind, KeptStreams::containerName(target)));
}

// The reading of a source that ffmpeg described as one picture and plain sound: what it states
// of them, each lasting the length it states; none for any other.
std::optional<LibAv::Reading> plainReading(const FfmpegDescription& said)
{
    if (!said.input || !said.inputPlain || !said.input->videoCodec) return std::nullopt;
    LibAv::Reading r;
    r.probe = *said.input;
    r.videoSeconds = r.probe.duration;
    r.audioSeconds = r.probe.audioCodec ? r.probe.duration : 0;
    r.streams = plainStreams(r.probe);
    return r;
}

// Whether a copy of `source` into `target` may be made in this process: a film format the copy
// writes as ffmpeg does, from a Matroska, WebM or QuickTime file (others go to ffmpeg at once).
bool copiedHere(const QString& source, const QString& target)
{
    static const QStringList sources{"mkv", "webm", "mp4", "mov", "m4v", "qt"};
    return LibAv::remuxTargets().contains(target) && sources.contains(QFileInfo(source).suffix().toLower());
}

// What the muxer is asked for when `args` are a plain stream copy, as conversionArgs() makes one
// for a film with nothing beside its picture and sound to carry; none for any other run.
std::optional<LibAv::CopyOptions> plainCopy(const QStringList& args, const QString& source,
                                            const QString& output, const QString& target)
{
    QStringList plain{"-i", source, "-map", "0:V:0", "-map", "0:a?", "-c", "copy", "-map_metadata", "0"};
    LibAv::CopyOptions options;
    const QStringList hvc1{"-tag:v:0", "hvc1"};
    const QStringList faststart{"-movflags", "+faststart"};
    if (args.mid(plain.size(), 2) == hvc1) {
        plain << hvc1;
        options.hvc1 = true;
    }
    if (args.mid(plain.size(), 2) == faststart) {
        plain << faststart;
        options.faststart = true;
    }
    if (args != plain + QStringList{output} || !copiedHere(source, target)) return std::nullopt;
    return options;
}

} // namespace

namespace Media {

void convert(const QString& source, const QString& output, bool audio, const QString& target, Job* job,
             const Progress& progress)
{
    if (job) job->throwIfCancelled();
    refuseLists(source);
    const auto argsFor = [&](const Probe& probe, const ToolArgs::Extras& extras) {
        return conversionArgs(source, output, audio, target, probe, extras);
    };
    // ffmpeg starts at once on a guess, before the source is read in this process: loading the
    // libraries that read it takes about as long as starting ffmpeg does. The plain streams of a
    // guess take nothing out into a folder. A copy from a Matroska or QuickTime film is read
    // first instead: once the libraries are loaded, a plain copy costs less made here than
    // ffmpeg costs to start.
    const Probe guess = usualStreams(source);
    QStringList started =
        argsFor(guess, sideStreams(source, plainStreams(guess), nullptr, audio, target, QString(), nullptr));
    running.fetch_add(1);
    const auto done = qScopeGuard([] { running.fetch_sub(1); });
    const bool readFirst = !audio && copies(started) && copiedHere(source, target) && LibAv::available();
    std::optional<FirstRun> first;
    if (!readFirst) first.emplace(oneThreadWhenFull(started), job, progress);

    // The one reading of the source: the plan of its streams, the arguments and the check. A
    // GIF's arguments are the same whatever the source holds: where ffmpeg's own description
    // shows nothing a note would name, the source is not read again here.
    const std::optional<LibAv::Reading> described =
        target == QLatin1String("gif") && first && first->waitDescribed() ? plainReading(first->said())
                                                                          : std::nullopt;
    const LibAv::Reading reading = described ? *described : readSource(source);
    const Probe& probe = reading.probe;
    // What the result keeps beside the picture and sound is decided once, from the source's streams.
    // Only covers are taken out into a folder (to be attached to an MKV): a folder made and removed
    // for nothing would cost a few disk writes.
    std::optional<ScratchFolder> scratch;
    if (std::any_of(reading.streams.begin(), reading.streams.end(), [](const Stream& s) { return s.cover; }))
        scratch.emplace();
    const ToolArgs::Extras extras = sideStreams(source, reading.streams, &reading, audio, target,
                                                scratch ? scratch->path() : QString(), job);
    const QStringList args = argsFor(probe, extras);
    std::optional<FfmpegReport> report;
    std::optional<ConvertError> error;
    if (readFirst) {
        started = args;
        if (const std::optional<LibAv::CopyOptions> plain = plainCopy(args, source, output, target)) {
            require(QStringLiteral("ffmpeg"));
            if (const std::optional<double> reach =
                    LibAv::remux(source, output, target, *plain, job, progress, probe.duration)) {
                report.emplace();
                report->ended = true;
                report->outSeconds = *reach;
                report->outBytes = QFileInfo(output).size();
                error = undecodableCopy(args, output, target);
            }
        }
        // Otherwise ffmpeg copies, started on what the reading calls for.
        if (!report) first.emplace(oneThreadWhenFull(started), job, progress);
    }
    const bool guessed = args == started;
    if (first) {
        if (guessed)
            first->agree(probe.duration);
        else
            first->stop();
        // A copy is decoded back as soon as ffmpeg has written it, while it exits.
        std::optional<CopyCheck> check;
        if (guessed && copies(started)) {
            check.emplace(*first, output, target);
            check->read();
        }
        first->wait();
        if (job) job->throwIfCancelled();
        report = first->report();
        error = first->error();
        if (guessed && report && !error)
            error = undecodableCopy(started, output, target, check ? &*check : nullptr);
    }
    if (job && !Chapters::heldBy(target) &&
        (described ? first->said().inputChapters > 0 : !reading.chapters.isEmpty()))
        job->addNote(Chapters::leftOut(target));
    if (first && guessed && report && !error &&
        shownWhole(*report, first->said(), reading, source, output, audio, target))
        return;

    if (!guessed) {
        // Started on a wrong guess: the run the source calls for, with its own retry.
        try {
            report = ffmpeg(oneThreadWhenFull(args), probe.duration, job, progress);
            error = undecodableCopy(args, output, target);
        } catch (const ConvertError& e) {
            error = e;
        }
    }
    // Only a stream copy is worth repeating: a container may refuse a stream it was thought
    // to hold, or hold it without what its decoder needs. The re-encode's outcome is the
    // conversion's.
    if (error && !error->isCancelled() && !audio && target != QLatin1String("gif") && canCopy(probe, target))
        report = ffmpeg(oneThreadWhenFull(retryArgs(source, output, target, probe, extras)), probe.duration,
                        job, progress);
    else if (error)
        throw *error;
    const std::optional<QString> note = checkResult(source, output, reading, audio, target, *report);
    if (note && job) job->addNote(*note);
}

} // namespace Media
