#include "engines/media/libav.h"

#include "engines/media/libavinput.h"
#include "engines/media/recentreadings.h"
#include "engines/media/waveheader.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// A time as ffprobe prints it ("%f") and Media::parseProbe reads it back.
double printedSeconds(int64_t ts, AVRational base)
{
    return QString::asprintf("%f", double(ts) * av_q2d(base)).toDouble();
}

// Seconds from the file's zero to where its first stream starts; 0 when it starts there or before.
double startSeconds(const AVFormatContext* c)
{
    return c->start_time != AV_NOPTS_VALUE ? std::max(0.0, double(c->start_time) / AV_TIME_BASE) : 0;
}

QString formatName(const AVFormatContext* c)
{
    return QString::fromLatin1(c->iformat && c->iformat->name ? c->iformat->name : "");
}

bool isMatroska(const AVFormatContext* c)
{
    return formatName(c).startsWith(QLatin1String("matroska"));
}

// The length a Matroska track states in its tags: its "DURATION" ("00:01:02.500000000") is the
// time its last frame ends, from which its start (or the file's, where a quick reading left the
// track's unknown) is taken. 0 for none.
double taggedSeconds(const LibAvApi& api, const AVStream* s, const AVFormatContext* c)
{
    const AVDictionaryEntry* tag = api.dictGet(s->metadata, "DURATION", nullptr, 0);
    static const QRegularExpression pattern(QStringLiteral(R"(^(\d+):(\d\d):(\d\d(?:\.\d+)?)$)"));
    const QRegularExpressionMatch m = pattern.match(QString::fromLatin1(tag ? tag->value : ""));
    if (!m.hasMatch()) return 0;
    const double end =
        m.captured(1).toDouble() * 3600 + m.captured(2).toDouble() * 60 + m.captured(3).toDouble();
    const double start =
        s->start_time != AV_NOPTS_VALUE ? double(s->start_time) * av_q2d(s->time_base) : startSeconds(c);
    return std::max(0.0, end - start);
}

// The stream's own length, as its header or its tags state it, or the file's when the stream is
// its only picture or sound; 0 when neither is known. A Matroska file states when it ends, not
// how long it lasts, and none of its tracks states a length of its own: one the libraries filled
// in from the file's is no statement.
double streamSeconds(const LibAvApi& api, const AVStream* s, const AVFormatContext* c, bool alone)
{
    const bool matroska = isMatroska(c);
    if (!matroska && s->duration != AV_NOPTS_VALUE && s->duration > 0) {
        const double stated = double(s->duration) * av_q2d(s->time_base);
        // Of an Opus stream in Ogg, the demuxer states the time its last packet ends rather than
        // its length: a song cut from a longer stream (a radio recording) starts late.
        const bool endTime =
            s->codecpar->codec_id == AV_CODEC_ID_OPUS && formatName(c) == QLatin1String("ogg");
        if (endTime && s->start_time != AV_NOPTS_VALUE && s->start_time > 0)
            return std::max(0.0, stated - double(s->start_time) * av_q2d(s->time_base));
        return stated;
    }
    if (const double tagged = taggedSeconds(api, s, c); tagged > 0) return tagged;
    if (!alone || c->duration == AV_NOPTS_VALUE || c->duration <= 0) return 0;
    return Media::playedLength(double(c->duration) / AV_TIME_BASE, startSeconds(c), formatName(c));
}

// How far the stream's display matrix turns its picture, in whole degrees anticlockwise as ffprobe
// prints it (−180…180); 0 without a matrix.
int turnOf(const AVStream* s)
{
    for (int i = 0; i < s->nb_side_data; ++i) {
        const AVPacketSideData& side = s->side_data[i];
        if (side.type != AV_PKT_DATA_DISPLAYMATRIX || side.size < 9 * int(sizeof(int32_t))) continue;
        int32_t m[9];
        std::memcpy(m, side.data, sizeof m);
        return -int(std::lround(std::atan2(double(m[1]), double(m[0])) * 180 / M_PI));
    }
    return 0;
}

// Whether the first frames of the stream's index are marked to be decoded and not shown, as the
// QuickTime demuxer marks those an edit list leaves out.
bool hidesItsStart(const LibAvApi& api, AVStream* s)
{
    const int count = std::min(api.indexCount(s), 8);
    for (int i = 0; i < count; ++i)
        if (const AVIndexEntry* e = api.indexEntry(s, i); e && (e->flags & AVINDEX_DISCARD_FRAME))
            return true;
    return false;
}

// When the key frames of a picture stream show, told from its packets in decoding order, in the
// stream's time base. A packet of an AVI file with B-frames has no time of its own unless it is a
// B-frame: a frame that B-frames are decoded after shows when the next such frame is decoded, as
// the decoder hands it on then.
class KeyTimes
{
  public:
    // Hands it the next packet of the picture stream: the time of a key frame now known, this
    // one's or that of the one before it that had no time of its own.
    std::optional<int64_t> next(const AVPacket* packet)
    {
        const bool key = packet->flags & AV_PKT_FLAG_KEY;
        if (packet->pts != AV_NOPTS_VALUE) return key ? std::optional(packet->pts) : std::nullopt;
        if (packet->dts == AV_NOPTS_VALUE) return std::nullopt;
        const std::optional<int64_t> known = m_pending ? std::optional(packet->dts) : std::nullopt;
        m_pending = key;
        return known;
    }

  private:
    bool m_pending = false; // a key frame without a time waits for the next frame without one
};

// The same steps as Media::parseProbe over the values ffprobe would print.
Media::Probe probeOf(const LibAvApi& api, const AVFormatContext* c)
{
    Media::Probe p;
    if (c->duration != AV_NOPTS_VALUE)
        p.duration = Media::playedLength(
            printedSeconds(c->duration, AV_TIME_BASE_Q),
            c->start_time != AV_NOPTS_VALUE ? printedSeconds(c->start_time, AV_TIME_BASE_Q) : 0,
            formatName(c));
    if (!api.dictGet(c->metadata, "location", nullptr, 0))
        if (const AVDictionaryEntry* place =
                api.dictGet(c->metadata, "com.apple.quicktime.location.ISO6709", nullptr, 0))
            p.place = QString::fromUtf8(place->value);
    QList<std::pair<QString, QString>> tags;
    for (const AVDictionaryEntry* t = nullptr; (t = api.dictGet(c->metadata, "", t, AV_DICT_IGNORE_SUFFIX));)
        tags.append({QString::fromUtf8(t->key), QString::fromUtf8(t->value)});
    Media::readLyrics(p, tags);
    for (unsigned i = 0; i < c->nb_streams; ++i) {
        const AVStream* s = c->streams[i];
        const AVCodecParameters* par = s->codecpar;
        const char* typeName = api.mediaTypeString(par->codec_type);
        const QLatin1String type(typeName ? typeName : "");
        const AVCodecDescriptor* descriptor = api.descriptor(par->codec_id);
        const std::optional<QString> codec =
            descriptor ? std::optional<QString>(QString::fromLatin1(descriptor->name)) : std::nullopt;

        if (type == QLatin1String("video") && !p.videoCodec && !LibAvInput::isCover(s)) {
            p.videoCodec = codec;
            p.width = par->width;
            p.height = par->height;
            p.turn = turnOf(s);
            p.hiddenStart = hidesItsStart(api, c->streams[i]);
            // A quarter turn (90° or 270°) shows, and has ffmpeg decode, width and height swapped.
            if (std::abs(std::lround(p.turn / 90.0)) % 2 == 1) std::swap(p.width, p.height);
            const AVRational rate = s->avg_frame_rate;
            p.fps = rate.num > 0 && rate.den > 0 ? double(rate.num) / double(rate.den) : 30;
        } else if (type == QLatin1String("audio") && !p.audioCodec) {
            p.audioCodec = codec;
            p.channels = par->ch_layout.nb_channels;
            p.sampleRate = par->sample_rate;
        }
        if (p.duration == 0 && s->duration != AV_NOPTS_VALUE)
            p.duration = printedSeconds(s->duration, s->time_base);
    }
    return p;
}

// Whether a quick reading of the file is as good as the default one: it found the streams, and
// their parameters, the container lists them all in its header, and its length is stated
// rather than guessed from the bitrate of what was read.
bool settled(const LibAvInput& input)
{
    const AVFormatContext* c = input.get();
    if (!c || (c->ctx_flags & AVFMTCTX_NOHEADER) || input.headerLength() <= 0 ||
        c->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE)
        return false;
    const auto [video, audio] = input.mainStreams();
    if (video < 0 && audio < 0) return false;
    if (video >= 0 && (c->streams[video]->codecpar->width <= 0 || c->streams[video]->codecpar->height <= 0))
        return false;
    return audio < 0 || (c->streams[audio]->codecpar->sample_rate > 0 &&
                         c->streams[audio]->codecpar->ch_layout.nb_channels > 0);
}

// The reading of LibAv::read, made anew.
LibAv::Reading readFile(const LibAvApi* a, const QString& path)
{
    LibAv::Reading r;
    // A quick reading tells most files apart; the default one is read where it leaves a doubt.
    std::optional<LibAvInput> input(std::in_place, *a, path, true, nullptr, true);
    if (!settled(*input)) input.emplace(*a, path, true);
    const AVFormatContext* c = input->get();
    if (!c) return r;
    r.probe = probeOf(*a, c);
    r.streams = input->streams();
    r.chapters = input->chapters();
    if (c->start_time != AV_NOPTS_VALUE) r.start = double(c->start_time) / AV_TIME_BASE;
    const auto [video, audio] = input->mainStreams();
    if (video >= 0) {
        const AVStream* s = c->streams[video];
        r.videoSeconds = streamSeconds(*a, s, c, audio < 0);
        if (s->avg_frame_rate.num > 0 && s->avg_frame_rate.den > 0)
            r.pictureDelay = s->codecpar->video_delay * av_q2d(av_inv_q(s->avg_frame_rate));
    }
    if (audio >= 0) r.audioSeconds = streamSeconds(*a, c->streams[audio], c, video < 0);
    // A length guessed from the bitrate (an MP3 without its table of contents) is no statement.
    if (c->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE) r.videoSeconds = r.audioSeconds = 0;
    // The WAVE demuxer guesses the length of data that stops before its header says from what
    // is there; the header's own word is the length stated.
    if (const std::optional<double> promised = WaveHeader::promisedSeconds(path); promised && audio >= 0)
        r.audioSeconds = std::max(r.audioSeconds, *promised);
    return r;
}

} // namespace

namespace LibAv {

bool available()
{
    return libAvApi() != nullptr;
}

std::optional<Reading> read(const QString& path)
{
    const LibAvApi* a = libAvApi();
    if (!a) return std::nullopt;
    static RecentReadings recent;
    const std::optional<RecentReadings::Stamp> before = RecentReadings::stamp(path);
    if (before)
        if (std::optional<Reading> kept = recent.find(path, *before)) return kept;
    Reading r = readFile(a, path);
    // Kept only when the file did not change while it was read.
    if (before && RecentReadings::stamp(path) == before) recent.keep(path, *before, r);
    return r;
}

std::optional<ShownFrame> shownFrame(const QString& path, double seconds)
{
    const LibAvApi* a = libAvApi();
    if (!a || !std::isfinite(seconds)) return std::nullopt;
    const LibAvInput input(*a, path, true, nullptr, true);
    AVFormatContext* c = input.get();
    const int video = c ? input.mainStreams().first : -1;
    if (video < 0) return std::nullopt;
    const int64_t origin = c->start_time != AV_NOPTS_VALUE ? c->start_time : 0;
    if (c->duration != AV_NOPTS_VALUE && c->duration > 0 && seconds > double(c->duration) / AV_TIME_BASE)
        return std::nullopt;
    const double t = std::max(seconds, 0.0) + 0.0005;
    // From a second early, so that the frame before the shown one is read as well.
    if (seconds > 1) {
        const int64_t target = origin + int64_t((seconds - 1) * AV_TIME_BASE);
        a->seekFile(c, -1, INT64_MIN, target, target, 0);
    }
    const double base = av_q2d(c->streams[video]->time_base);
    const double zero = double(origin) / AV_TIME_BASE;
    std::vector<double> starts;
    std::optional<double> next;
    bool ended = false;
    AVPacket* packet = a->packetAlloc();
    if (!packet) return std::nullopt;
    for (int budget = 20000; budget > 0; --budget) {
        if (a->readFrame(c, packet) < 0) {
            ended = true;
            break;
        }
        const int64_t at = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        const int64_t decoded = packet->dts != AV_NOPTS_VALUE ? packet->dts : at;
        const bool counts = packet->stream_index == video && !(packet->flags & AV_PKT_FLAG_DISCARD);
        a->packetUnref(packet);
        if (!counts || at == AV_NOPTS_VALUE) continue;
        const double start = double(at) * base - zero;
        starts.push_back(start);
        if (start > t && (!next || start < *next)) next = start;
        // Frames are decoded in a growing order and none starts before it is decoded: once one is
        // decoded after the next frame's start, every frame up to that one has been read.
        if (next && double(decoded) * base - zero > *next) break;
    }
    a->packetFree(&packet);
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    if (starts.empty()) return std::nullopt;
    const auto after = std::upper_bound(starts.begin(), starts.end(), t);
    const auto shown = after == starts.begin() ? after : after - 1;
    ShownFrame f;
    f.start = *shown;
    f.last = ended && shown + 1 == starts.end();
    // Just before it (2 ms, or a quarter of the way to its neighbour where frames come faster):
    // far enough for a seek written to the millisecond, and near enough that an output timed from
    // the cut begins with this frame rather than a copy of it filling the gap.
    const double gap = shown != starts.begin()     ? f.start - *(shown - 1)
                       : shown + 1 != starts.end() ? *(shown + 1) - f.start
                                                   : 0.008;
    f.cut = std::max(f.start - std::min(0.002, gap / 4), 0.0);
    return f;
}

std::optional<CopyStart> copyStart(const QString& path, double seconds)
{
    const LibAvApi* a = libAvApi();
    if (!a || !std::isfinite(seconds)) return std::nullopt;
    const LibAvInput input(*a, path, true);
    AVFormatContext* c = input.get();
    const int video = c ? input.mainStreams().first : -1;
    if (video < 0) return std::nullopt;
    const double zero = input.seekAsFfmpeg(seconds);
    const AVRational rate = c->streams[video]->avg_frame_rate;
    const double frame = rate.num > 0 && rate.den > 0 ? av_q2d(av_inv_q(rate)) : 0;
    // The sound streams a copy takes along, each from the first packet after the seek.
    std::vector<bool> unseen(c->nb_streams, false);
    int sounds = 0;
    for (unsigned i = 0; i < c->nb_streams; ++i)
        if (c->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) unseen[i] = true, ++sounds;
    std::optional<double> key;
    double earliest = INFINITY;
    KeyTimes keys;
    std::optional<double> keyDecoded; // the first key frame's decoding time, while it shows when unknown
    AVPacket* packet = a->packetAlloc();
    if (!packet) return std::nullopt;
    // Until the key frame is met and each sound stream has begun, or a while after the key frame
    // for a sound that ends before it. Picture packets before the key frame are not copied.
    for (int budget = 20000, after = 500;
         budget > 0 && after > 0 && (!key || sounds > 0) && a->readFrame(c, packet) >= 0; --budget) {
        const int index = packet->stream_index;
        const double base = av_q2d(c->streams[index]->time_base);
        const int64_t decoded = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
        if (index == video && !key) {
            const bool first = !keyDecoded && (packet->flags & AV_PKT_FLAG_KEY) && decoded != AV_NOPTS_VALUE;
            if (first) {
                // Without a stored decoding time (Matroska), ffmpeg decodes the first picture as
                // many frames before it is shown as the stream holds back.
                const double held =
                    packet->dts != AV_NOPTS_VALUE ? 0 : c->streams[video]->codecpar->video_delay * frame;
                keyDecoded = double(decoded) * base - zero - held;
            }
            if (const std::optional<int64_t> shown = keys.next(packet); shown && keyDecoded) {
                key = double(*shown) * base - zero;
                earliest = std::min(earliest, *keyDecoded);
            }
        } else if (unseen[index] && decoded != AV_NOPTS_VALUE) {
            unseen[index] = false;
            --sounds;
            earliest = std::min(earliest, double(decoded) * base - zero);
        }
        if (key) --after;
        a->packetUnref(packet);
    }
    a->packetFree(&packet);
    if (!key) return std::nullopt;
    return CopyStart{*key, std::min(earliest, *key)};
}

std::optional<double> keyFrameAt(const QString& path, double seconds)
{
    const LibAvApi* a = libAvApi();
    if (!a || !std::isfinite(seconds)) return std::nullopt;
    const LibAvInput input(*a, path, true);
    AVFormatContext* c = input.get();
    const int video = c ? input.mainStreams().first : -1;
    if (video < 0) return std::nullopt;
    const int64_t origin = c->start_time != AV_NOPTS_VALUE ? c->start_time : 0;
    const double base = av_q2d(c->streams[video]->time_base);
    const double zero = double(origin) / AV_TIME_BASE;
    const double t = std::max(seconds, 0.0) + 0.0005;
    AVPacket* packet = a->packetAlloc();
    if (!packet) return std::nullopt;
    std::optional<double> found, first;
    // Key frames are shown in the order they are decoded: reading from where a seek lands, the
    // last one at or before the moment is met before the first one after it.
    const auto scan = [&] {
        KeyTimes keys;
        for (int budget = 20000; budget > 0 && a->readFrame(c, packet) >= 0; --budget) {
            const std::optional<int64_t> shown =
                packet->stream_index == video ? keys.next(packet) : std::nullopt;
            a->packetUnref(packet);
            if (!shown) continue;
            const double at = double(*shown) * base - zero;
            if (!first) first = at;
            if (at > t) break;
            found = at;
        }
    };
    // A demuxer that seeks by decoding times may land on the key frame after the moment; then a
    // seek further back, and at last the whole file from its start.
    for (const double back : {0.0, 2.0, 10.0, 60.0}) {
        if (seconds - back <= 0) break;
        const int64_t target = origin + std::llround((seconds - back) * AV_TIME_BASE);
        if (a->seekFile(c, -1, INT64_MIN, target, target, 0) < 0) break;
        scan();
        if (found) break;
    }
    if (!found) {
        const LibAvInput again(*a, path, true);
        if ((c = again.get())) {
            first.reset();
            scan();
        }
    }
    a->packetFree(&packet);
    return found ? found : first;
}

} // namespace LibAv
