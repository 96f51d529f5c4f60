#include "engines/media/media.h"

#include "core/converterror.h"
#include "core/shell.h"
#include "engines/media/toolargs.h"

#include <QFile>

namespace {

QString kbps(int n)
{
    return QString::number(n) + QLatin1Char('k');
}

bool isMovie(const QString& ext)
{
    return ext == QLatin1String("mp4") || ext == QLatin1String("mov");
}

// Even sides, which the 4:2:0 encoders need.
const QStringList evenScale{QStringLiteral("-filter:v:0"),
                            QStringLiteral("scale=trunc(iw/2)*2:trunc(ih/2)*2")};
// The first real picture stream ("V" skips attached cover pictures) and every audio stream.
const QStringList pictureAndAudio{QStringLiteral("-map"), QStringLiteral("0:V:0"), QStringLiteral("-map"),
                                  QStringLiteral("0:a?")};
const QStringList faststart{QStringLiteral("-movflags"), QStringLiteral("+faststart")};
const QStringList keepMetadata{QStringLiteral("-map_metadata"), QStringLiteral("0")};

constexpr int conversionCrf = 21;

// The filters every sound track of a conversion to `target` goes through.
QStringList soundFilters(const QString& target)
{
    QStringList filters;
    // An AVI file lays its sound from its first sample, and sound taken alone plays from the
    // result's start: sound that begins after the source's start (a film's, or a song's after an
    // empty edit) is preceded by as much silence, and keeps its place against the picture and
    // the chapters.
    if (target == QLatin1String("avi") || Media::isAudioTarget(target)) filters << Media::soundFromZero;
    // Windows Media Audio holds one or two channels at up to 48 kHz, and its encoder refuses more
    // rather than name what it takes as the MP3 and AAC encoders do for ffmpeg to convert to:
    // surround sound is mixed down to stereo, and high-resolution sound resampled to the nearest
    // of the rates it takes, the same way.
    if (target == QLatin1String("wma") || target == QLatin1String("wmv"))
        filters << QStringLiteral("aformat=channel_layouts=mono|stereo:"
                                  "sample_rates=8000|11025|12000|16000|22050|24000|32000|44100|48000");
    if (filters.isEmpty()) return {};
    return {QStringLiteral("-af"), filters.join(QLatin1Char(','))};
}

// An AVI file lays each picture at its index from its start, without a time of its own: no time
// is shifted to make room for the sound encoder's delay, which would move every picture a frame
// later than its sound.
QStringList keptTimes(const QString& target)
{
    if (target != QLatin1String("avi")) return {};
    return {QStringLiteral("-avoid_negative_ts"), QStringLiteral("disabled")};
}

// The picture and sound encoded again for `target`, with the tags a copy keeps: the first run
// that re-encodes and the retry after a failed copy write the same.
QStringList reencoded(const QString& target, const Media::Probe& probe, const ToolArgs::Extras& extras)
{
    QStringList args = pictureAndAudio + evenScale + keptTimes(target) +
                       Media::videoArgs(target, conversionCrf) + Media::audioArgs(target, probe) +
                       soundFilters(target) + keepMetadata + Media::keptPlace(probe, target) +
                       ToolArgs::extraOutputs(extras, 1);
    if (isMovie(target)) args << faststart;
    return args;
}

} // namespace

namespace Media {

bool isAudioTarget(const QString& key)
{
    static const QStringList keys{"mp3", "m4a", "wav", "flac", "ogg", "opus", "aiff", "wma"};
    return keys.contains(key);
}

QStringList audioArgs(const QString& ext, const std::optional<Probe>&, std::optional<int> bitrate)
{
    const auto rate = [&](int fallback) {
        return QStringList{QStringLiteral("-b:a"), kbps(bitrate.value_or(fallback))};
    };
    if (ext == QLatin1String("mp3")) {
        return QStringList{"-c:a", "libmp3lame"} +
               (bitrate ? rate(0) : QStringList{QStringLiteral("-q:a"), QStringLiteral("2")});
    }
    if (ext == QLatin1String("m4a") || isMovie(ext)) return QStringList{"-c:a", "aac"} + rate(256);
    if (ext == QLatin1String("mkv")) return QStringList{"-c:a", "aac"} + rate(192);
    if (ext == QLatin1String("wav")) return {"-c:a", "pcm_s16le"};
    if (ext == QLatin1String("aiff")) return {"-c:a", "pcm_s16be"};
    if (ext == QLatin1String("flac")) return {"-c:a", "flac", "-compression_level", "8"};
    if (ext == QLatin1String("ogg")) {
        if (hasLibVorbis()) return {"-c:a", "libvorbis", "-q:a", "6"};
        return QStringList{"-c:a", "vorbis", "-strict", "-2", "-ac", "2"} +
               (bitrate ? rate(0) : QStringList{QStringLiteral("-q:a"), QStringLiteral("6")});
    }
    if (ext == QLatin1String("opus") || ext == QLatin1String("webm"))
        return QStringList{"-c:a", "libopus"} + rate(128);
    if (ext == QLatin1String("wma") || ext == QLatin1String("wmv"))
        return QStringList{"-c:a", "wmav2"} + rate(192);
    if (ext == QLatin1String("avi")) return {"-c:a", "libmp3lame", "-q:a", "3"};
    return {};
}

QStringList videoArgs(const QString& ext, int crf)
{
    if (isMovie(ext) || ext == QLatin1String("mkv"))
        return {"-c:v", "libx264", "-preset", "medium", "-crf", QString::number(crf), "-pix_fmt", "yuv420p"};
    if (ext == QLatin1String("webm")) {
        return {"-c:v",      "libvpx-vp9", "-crf",      QString::number(crf + 11),
                "-b:v",      "0",          "-row-mt",   "1",
                "-deadline", "good",       "-cpu-used", "4",
                "-pix_fmt",  "yuv420p"};
    }
    if (ext == QLatin1String("avi")) return {"-c:v", "mpeg4", "-q:v", "3", "-vtag", "xvid"};
    if (ext == QLatin1String("wmv")) return {"-c:v", "wmv2", "-q:v", "3"};
    return {};
}

QStringList keptPlace(const Probe& probe, const QString& ext)
{
    if (probe.place.isEmpty() || !(isMovie(ext) || ext == QLatin1String("m4v"))) return {};
    return {QStringLiteral("-metadata"), QStringLiteral("location=") + probe.place};
}

QStringList keptLyrics(const Probe& probe, const QString& ext)
{
    if (probe.lyricsKey.isEmpty() || ext == QLatin1String("mp3") || ext == QLatin1String("aiff")) return {};
    return {QStringLiteral("-metadata"), QStringLiteral("lyrics=") + probe.lyrics,
            QStringLiteral("-metadata"), probe.lyricsKey + QLatin1Char('=')};
}

QStringList keptPlace(const QString& source, const QString& ext)
{
    return isMovie(ext) || ext == QLatin1String("m4v") ? keptPlace(probe(source), ext) : QStringList{};
}

bool canCopy(const Probe& probe, const QString& ext)
{
    if (!probe.videoCodec) return false;
    const QString& v = *probe.videoCodec;
    const auto audioIn = [&](const QStringList& codecs) {
        return !probe.audioCodec || codecs.contains(*probe.audioCodec);
    };
    if (isMovie(ext))
        return QStringList{"h264", "hevc", "mpeg4"}.contains(v) && audioIn({"aac", "mp3", "alac"});
    if ((probe.turn != 0 || probe.hiddenStart) &&
        (ext == QLatin1String("mkv") || ext == QLatin1String("webm")))
        return false;
    if (ext == QLatin1String("mkv")) return true;
    if (ext == QLatin1String("webm"))
        return QStringList{"vp8", "vp9", "av1"}.contains(v) && audioIn({"opus", "vorbis"});
    return false;
}

bool hasLibVorbis()
{
    static const bool has = [] {
        const auto program = Shell::find(QStringLiteral("ffmpeg"));
        if (!program) return false;
        try {
            return Shell::run(*program, {QStringLiteral("-hide_banner"), QStringLiteral("-encoders")})
                .out()
                .contains(QLatin1String("libvorbis"));
        } catch (const ConvertError&) {
            return false;
        }
    }();
    return has;
}

QStringList keptTags(const QString& source)
{
    QFile file(source);
    // Every Ogg file begins with its first page's capture pattern.
    const bool ogg = file.open(QIODevice::ReadOnly) && file.read(4) == QByteArrayLiteral("OggS");
    return ogg ? keepMetadata + QStringList{QStringLiteral("-map_metadata:g"), QStringLiteral("0:s:a:0")}
               : keepMetadata;
}

QStringList conversionArgs(const QString& source, const QString& output, bool audio, const QString& target,
                           const Probe& probe, const ToolArgs::Extras& extras)
{
    QStringList args = QStringList{QStringLiteral("-i"), source} + ToolArgs::extraInputs(extras);
    const QString sound = extras.soundTrack >= 0 ? QStringLiteral("0:%1").arg(extras.soundTrack) : QString();
    if (audio && extras.copied.isEmpty()) {
        args << QStringLiteral("-vn");
        if (!sound.isEmpty()) args << QStringLiteral("-map") << sound;
        args << keptTags(source) << keptLyrics(probe, target) << audioArgs(target, probe)
             << ToolArgs::id3Chunk(target) << soundFilters(target) << ToolArgs::extraOutputs(extras, 1);
    } else if (audio) {
        // The covers go along, copied as they are; a real picture is left behind.
        args << QStringLiteral("-map") << (sound.isEmpty() ? QStringLiteral("0:a") : sound)
             << keptTags(source) << keptLyrics(probe, target) << audioArgs(target, probe)
             << ToolArgs::id3Chunk(target) << soundFilters(target) << ToolArgs::extraOutputs(extras, 1);
    } else if (target == QLatin1String("gif")) {
        // At most 720 pixels wide; asked of ffmpeg, so that no probe has to come first.
        args << QStringLiteral("-an") << QStringLiteral("-vf")
             << QStringLiteral("fps=15,scale='min(iw,720)':-1:flags=lanczos,split[a][b];"
                               "[a]palettegen=stats_mode=diff[p];[b][p]paletteuse=dither=bayer:bayer_scale=4")
             << QStringLiteral("-loop") << QStringLiteral("0");
    } else if (canCopy(probe, target)) {
        args << pictureAndAudio << QStringLiteral("-c") << QStringLiteral("copy") << keepMetadata
             << keptPlace(probe, target);
        // Players that expect HEVC in MP4 or QuickTime only accept the hvc1 sample entry.
        if (probe.videoCodec == QLatin1String("hevc") && isMovie(target))
            args << QStringLiteral("-tag:v:0") << QStringLiteral("hvc1");
        if (isMovie(target)) args << faststart;
        args << ToolArgs::extraOutputs(extras, 1);
    } else {
        args << reencoded(target, probe, extras);
    }
    return args << output;
}

QStringList retryArgs(const QString& source, const QString& output, const QString& target, const Probe& probe,
                      const ToolArgs::Extras& extras)
{
    return QStringList{QStringLiteral("-i"), source} + ToolArgs::extraInputs(extras) +
           reencoded(target, probe, extras) + QStringList{output};
}

} // namespace Media
