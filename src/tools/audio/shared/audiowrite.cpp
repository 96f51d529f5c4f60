#include "tools/audio/shared/audiowrite.h"

#include "core/job.h"
#include "engines/media/flaccuesheet.h"
#include "engines/media/keptstreams.h"
#include "engines/media/waveheader.h"

#include <cmath>
#include <limits>

namespace {

const QStringList audioOnly{QStringLiteral("-map"), QStringLiteral("0:a")};

// The sample formats each container is written in by ffmpeg.
const QStringList waveSamples{"pcm_s16le", "pcm_s24le", "pcm_s32le", "pcm_u8",
                              "pcm_f32le", "pcm_f64le", "pcm_alaw",  "pcm_mulaw"};
const QStringList aiffSamples{"pcm_s16be", "pcm_s24be", "pcm_s32be", "pcm_s8",
                              "pcm_f32be", "pcm_f64be", "pcm_alaw",  "pcm_mulaw"};

qint64 samples(double seconds, int rate)
{
    return std::llround(seconds * rate);
}

} // namespace

namespace AudioWrite {

Kept kept(const QString& source, const QString& ext, bool apart, Job& job, std::optional<TimeRange> cut)
{
    const QList<Media::Stream> streams = Media::streams(source);
    Kept k;
    // A sound file's covers are never attached, so no folder is needed for them. An AIFF is
    // written with an ID3 chunk, which holds them.
    k.streams = KeptStreams::copied(source, streams, ext,
                                    {.picture = false, .coverApart = apart, .id3Chunk = true}, {}, job);
    const QList<Media::Stream> sounds = Media::streamsOf(streams, Media::Stream::Kind::audio);
    if (sounds.isEmpty()) return k;
    const Media::Stream& sound = sounds.first();
    k.encoder = encoder(sound, ext);
    if (ext == QLatin1String("wav"))
        k.chunks = WaveHeader::keptBroadcast(
            source, cut && sound.sampleRate > 0
                        ? quint64(std::max<qint64>(0, samples(cut->start, sound.sampleRate)))
                        : 0);
    if (ext == QLatin1String("flac") && sound.sampleRate > 0)
        if (const std::optional<QByteArray> sheet = FlacCueSheet::read(source)) {
            const qint64 from = cut ? samples(cut->start, sound.sampleRate) : 0;
            const qint64 to = cut ? samples(cut->end, sound.sampleRate) : std::numeric_limits<qint64>::max();
            k.cueSheet = FlacCueSheet::cut(*sheet, from, to);
            // ffmpeg leaves 8 KiB of padding; the cue sheet goes in front of it.
            if (k.cueSheet)
                k.chunks << QStringLiteral("-metadata_header_padding")
                         << QString::number(8192 + FlacCueSheet::room(*k.cueSheet));
        }
    return k;
}

QStringList encoder(const Media::Stream& sound, const QString& ext)
{
    const bool deep = sound.bits > 16;
    const QString c = QStringLiteral("-c:a");
    if (ext == QLatin1String("wav"))
        return {c, waveSamples.contains(sound.codec) ? sound.codec
                   : deep                            ? QStringLiteral("pcm_s24le")
                                                     : QStringLiteral("pcm_s16le")};
    if (ext == QLatin1String("aiff") || ext == QLatin1String("aif"))
        return {c, aiffSamples.contains(sound.codec) ? sound.codec
                   : deep                            ? QStringLiteral("pcm_s24be")
                                                     : QStringLiteral("pcm_s16be")};
    // ffmpeg's FLAC and Apple Lossless encoders write 24 bits from 32-bit samples.
    if (ext == QLatin1String("flac"))
        return Media::audioArgs(ext) + QStringList{QStringLiteral("-sample_fmt"),
                                                   deep ? QStringLiteral("s32") : QStringLiteral("s16")};
    if (ext == QLatin1String("m4a") && sound.codec == QLatin1String("alac"))
        return {c, QStringLiteral("alac"), QStringLiteral("-sample_fmt"),
                deep ? QStringLiteral("s32p") : QStringLiteral("s16p")};
    return Media::audioArgs(ext);
}

void finish(const Kept& kept, const QString& path, Job& job)
{
    if (kept.cueSheet && !FlacCueSheet::write(path, *kept.cueSheet))
        job.addNote(
            QStringLiteral("The cue sheet was left out: the FLAC file ffmpeg wrote has no room for it"));
}

QStringList filtered(const QString& source, const QString& filter, const QString& ext, const Kept& kept,
                     const QString& out)
{
    // The filter works on the source's times as its player counts them, from a zero before any
    // sound that begins late.
    return QStringList{QStringLiteral("-i"), source} + ToolArgs::extraInputs(kept.streams) + audioOnly +
           ToolArgs::extraOutputs(kept.streams, 1) +
           QStringList{QStringLiteral("-af"), Media::soundFromZero + QLatin1Char(',') + filter} +
           Media::keptTags(source) + (kept.encoder.isEmpty() ? Media::audioArgs(ext) : kept.encoder) +
           ToolArgs::id3Chunk(ext) + kept.chunks + QStringList{out};
}

// ffmpeg 5.1 ends the whole result a few frames in when a graph that makes sound of its own (a
// tone) runs beside a stream copied from the graph's input file: the covers come from a second
// reading of the source.
QStringList graphed(const QString& source, QStringList graph, const QString& ext, const Kept& kept,
                    const QString& out)
{
    // The graph takes the source's sound laid from the result's zero, as filtered() does.
    const qsizetype at = graph.indexOf(QLatin1String("-filter_complex")) + 1;
    if (at > 0 && at < graph.size())
        graph[at] = QStringLiteral("[0:a]") + Media::soundFromZero + QStringLiteral("[zeroed];") +
                    graph[at].replace(QLatin1String("[0:a]"), QLatin1String("[zeroed]"));
    return QStringList{QStringLiteral("-i"), source} + ToolArgs::extraInputs(kept.streams) + graph +
           ToolArgs::extraOutputs(kept.streams, 1) + Media::keptTags(source) +
           (kept.encoder.isEmpty() ? Media::audioArgs(ext) : kept.encoder) + ToolArgs::id3Chunk(ext) +
           kept.chunks + QStringList{out};
}

} // namespace AudioWrite
