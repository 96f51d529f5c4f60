#pragma once

#include "core/progress.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>

class ConvertError;
class Job;
namespace ToolArgs {
struct Extras;
}

// Audio and video through ffmpeg and ffprobe: what a file holds, the one ffmpeg runner with
// its progress, the encoder options of each container, conversion, waveform peaks and stills.
// Everything blocks the calling thread; nothing is shared between calls.
namespace Media {

// What a media file holds. The defaults are what is assumed when nothing could be read.
struct Probe
{
    double duration = 0;               // seconds
    std::optional<QString> videoCodec; // first video stream that is not an attached picture
    std::optional<QString> audioCodec; // first audio stream
    // The picture as shown: a quarter-turned display rotation swaps the stored width and height,
    // as ffmpeg swaps them when it decodes.
    int width = 0;
    int height = 0;
    int turn = 0; // degrees anticlockwise the display matrix turns the picture by, as ffprobe prints it
    // Where the film was taken (ISO 6709) when the file names it only under Apple's own name, as
    // a phone does, which QuickTime and MP4 files written here hold only as their location.
    QString place;
    // Lyrics an ID3 tag holds, which ffmpeg names by their language ("lyrics-eng") where other
    // containers hold them as "lyrics": that name and the text; empty without them, or when the
    // file holds plain "lyrics" too.
    QString lyricsKey;
    QString lyrics;
    double fps = 30;
    // The picture begins with frames that an edit list hides, decoded only for those shown after
    // them (a film cut by stream copy from a moment after a key frame); a container without edit
    // lists would show them.
    bool hiddenStart = false;
    int channels = 2;
    int sampleRate = 44100;
};

// The error of every media route when ffmpeg or ffprobe is not installed.
QString missingToolText();

// The full path of `program` ("ffmpeg", "ffprobe"); throws the missing-tool error without it.
QString require(const QString& program);

// How long a file plays, from the length `stated` for the whole file by its format (ffmpeg's
// demuxer name: "matroska,webm", "mov,mp4,m4a,3gp,3g2,mj2") and the time `start` at which its first
// stream begins: a Matroska or QuickTime file states when it ends (a QuickTime file's length
// counts the empty stretch its edit list places before a late start), from which the start is
// taken; any other format states its length. ffmpeg plays such a file from its start.
double playedLength(double stated, double start, const QString& format);

// Never fails: whatever cannot be told keeps its default. Read in-process by ffmpeg's libraries,
// with the same result ffprobe would give; ffprobe itself only where the libraries are missing.
Probe probe(const QString& path);
// The same through the ffprobe program.
Probe probeWithFfprobe(const QString& path);
// The reading of ffprobe's JSON (-show_format -show_streams); bad input gives the defaults.
Probe parseProbe(const QByteArray& json);

// The demuxers a media file is read with, as ffmpeg's -format_whitelist takes them: containers
// and streams that read nothing but their own file. Playlists, lists, manifests, sessions,
// scripts, picture sequences and devices are not among them. Every input, in ffmpeg and in this
// process, is limited to these and to the file protocol.
const QStringList& mediaDemuxers();
// Throws "<name> is a playlist, not a media file" when `path` is a playlist, a list of other
// files, a manifest or a session description, told by its first bytes (#EXTM3U, ffconcat,
// "file '…'" lines, DASH and IMF manifests, SDP). Nothing but the file itself is read.
void refuseLists(const QString& path);
// The options that go before each input of an ffmpeg run: the file protocol and mediaDemuxers()
// only.
QStringList inputGuard();
// ffmpeg's arguments `args` with each input given without a format (-f) first refused when it is
// a list and then preceded by inputGuard(). Throws what refuseLists throws.
QStringList guardedInputs(const QStringList& args);

// What one ffmpeg run said about itself.
struct FfmpegReport
{
    bool ended = false;               // its last progress report came ("progress=end")
    std::optional<double> outSeconds; // the output time in its last report
    std::optional<qint64> outBytes;   // the size of the output in its last report
    QString errors;                   // its standard error at level error and above
    QString log;                      // its information lines: how it read its inputs and wrote
};

// ffmpeg's standard error, each line tagged with its level ("[error] …", after the tags of the
// component that wrote it): the lines at level error and above, and the information lines, both
// with the level tags removed. A line without a tag belongs to the level of the line before; a
// first untagged line counts as an error.
std::pair<QString, QString> splitLog(const QString& standardError);

// Runs ffmpeg with the fixed prefix (no stdin, overwrite, progress on stdout, levels tagged) and
// `args`, which end with the output path, through guardedInputs(). Progress is measured over
// `duration` seconds, read at each report (0 while unknown: no progress). `onInfo` is handed each
// information line (levels info and verbose) that carries its own level tag, without the tag, as it
// comes; lines that continue another are not handed on. The job's cancel ends ffmpeg and throws
// ConvertError::cancelled(). A failure throws ffmpegFailure(); so does an exit 0 that came
// without the last report or with write errors (unfinishedWrite()).
FfmpegReport ffmpeg(const QStringList& args, const std::function<double()>& duration, Job* job,
                    const Progress& progress, const std::function<void(const QString&)>& onInfo = {});
FfmpegReport ffmpeg(const QStringList& args, double duration, Job* job, const Progress& progress);
// The failure of an ffmpeg run in plain words, from its standard error and exit status; the last
// lines of standard error as ffmpeg wrote them become the error's details.
ConvertError ffmpegFailure(const QString& errors, int status);
// Whether a run that exited 0 left its output unfinished: its last report never came, or it
// could not write its trailer or close its file (ffmpeg 5.1 exits 0 on a full disk).
std::optional<ConvertError> unfinishedWrite(const FfmpegReport& report);
// "The disk is full" where ffmpeg's standard error says so, else "The result is incomplete: "
// and `why` ("its sound lasts 1.5 s of 4.0 s"), with that standard error as details.
ConvertError incomplete(const QString& errors, const QString& why);
// The fraction, within 0…0.99, that one line of ffmpeg's progress report stands for, or none
// for lines that carry no output time. Needs a duration above 0.
std::optional<double> progressFraction(const QString& line, double duration);

// True for the audio-only target keys: the picture is dropped and only audio is encoded.
bool isAudioTarget(const QString& key);
// The audio filter that lays a sound from the result's zero, as a player of its source hears it:
// sound that begins after the source's start (a song after an empty edit, a film's sound after
// its picture) is preceded by as much silence. It leaves sound that begins at the start as it is.
inline const QString soundFromZero = QStringLiteral("aresample=async=1:first_pts=0");
// Audio encoder options for an output extension; `probe` does not change them. Without a
// bitrate each container gets its default quality.
QStringList audioArgs(const QString& ext, const std::optional<Probe>& probe = std::nullopt,
                      std::optional<int> bitrate = std::nullopt);
// Video encoder options for an output extension at constant rate factor `crf`.
QStringList videoArgs(const QString& ext, int crf);
// The option that names the place `probe` holds as the location of a result in `ext` (MP4, M4V,
// QuickTime); nothing for other containers or without a place.
QStringList keptPlace(const Probe& probe, const QString& ext);
// The same for `source`, read once.
QStringList keptPlace(const QString& source, const QString& ext);
// Sets `probe`'s lyrics from a file's tags, each a name and its text.
void readLyrics(Probe& probe, const QList<std::pair<QString, QString>>& tags);
// The options that keep `probe`'s lyrics as "lyrics" in a result in `ext`, where players look
// for them; nothing for an ID3 tag (MP3, AIFF), whose lyrics frame names the language, or
// without lyrics.
QStringList keptLyrics(const Probe& probe, const QString& ext);
// Whether the probed streams can be copied into the container `ext` without re-encoding. Matroska
// as ffmpeg writes it has no place for a display matrix: a turned picture is turned in its pixels.
bool canCopy(const Probe& probe, const QString& ext);
// Whether this ffmpeg has the libvorbis encoder; asked once per process.
bool hasLibVorbis();
// The options that keep the tags of `source` as a sound result's own: the file's, and where a
// song keeps its tags on its sound stream instead (an Ogg file: Vorbis, Opus), that stream's.
QStringList keptTags(const QString& source);

// The first ffmpeg run of a conversion (after the fixed prefix): audio extraction, GIF,
// stream copy or re-encode, carrying `extras` (subtitles, covers, attachments; the one sound
// track of a sound result) beside the first picture and the sound.
QStringList conversionArgs(const QString& source, const QString& output, bool audio, const QString& target,
                           const Probe& probe, const ToolArgs::Extras& extras);
// The re-encode that follows a failed stream copy, with the tags the copy would have kept.
QStringList retryArgs(const QString& source, const QString& output, const QString& target, const Probe& probe,
                      const ToolArgs::Extras& extras);
// Converts `source` into `output` (a temporary path whose extension is the target's); a stream
// copy that fails for any reason but cancelling, or whose picture or sound does not decode at
// its start and end in the result (LibAv::undecodable), is repeated once as a re-encode. ffmpeg
// starts on a guess of the source's streams from its extension while the source is read once, in
// this process (LibAv::read); a run the reading calls for other arguments than the guess's is
// ended and redone. The result is checked before it is handed back: from ffmpeg's own report where
// that shows it whole (the source's stated length reached, each stream asked for written whole,
// every byte it wrote on disk), otherwise by reading the result in this process: it must hold the
// streams asked for, reach as far as ffmpeg says it wrote, and last about as long as the source
// (the disk may fill up under a run that still exits 0). While conversions fill the cores, each
// ffmpeg runs on one thread.
void convert(const QString& source, const QString& output, bool audio, const QString& target, Job* job,
             const Progress& progress);

// Peak amplitudes (0…1, 1 is full scale) of the file's audio, decoded as mono at 8000 Hz: at
// most `buckets` values, as loud as the sound is, so that a quiet recording stays quiet; empty
// without readable audio. Cancelling `job` ends the read (empty).
QList<float> waveform(const QString& path, int buckets, Job* job = nullptr);
// The peak reduction of `waveform` over decoded samples.
QList<float> peaks(const QList<float>& samples, int buckets);

} // namespace Media
