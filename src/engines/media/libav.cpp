#include "engines/media/libav.h"

#include <QFile>
#include <QHash>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <dlfcn.h>
#include <utility>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/macros.h>
}

namespace {

// The entry points used here, typed from the headers this file was built with. The libraries
// are opened by the major version of those headers, so the structures agree.
struct Api
{
    decltype(&av_log_set_level) logSetLevel;
    decltype(&av_dict_set) dictSet;
    decltype(&av_dict_free) dictFree;
    decltype(&av_get_media_type_string) mediaTypeString;
    decltype(&avcodec_descriptor_get) descriptor;
    decltype(&av_packet_alloc) packetAlloc;
    decltype(&av_packet_free) packetFree;
    decltype(&av_packet_unref) packetUnref;
    decltype(&avformat_open_input) openInput;
    decltype(&av_find_input_format) findInputFormat;
    decltype(&avformat_find_stream_info) findStreamInfo;
    decltype(&avformat_close_input) closeInput;
    decltype(&av_read_frame) readFrame;
    decltype(&avformat_seek_file) seekFile;
};

template <typename F> bool resolve(void* library, const char* name, F& into)
{
    into = reinterpret_cast<F>(::dlsym(library, name));
    return into != nullptr;
}

const Api* load()
{
    static Api api;
    void* util = ::dlopen("libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR), RTLD_LAZY | RTLD_LOCAL);
    void* codec = ::dlopen("libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR), RTLD_LAZY | RTLD_LOCAL);
    void* format =
        ::dlopen("libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR), RTLD_LAZY | RTLD_LOCAL);
    if (!util || !codec || !format) return nullptr;
    const bool ok = resolve(util, "av_log_set_level", api.logSetLevel) &&
                    resolve(util, "av_dict_set", api.dictSet) &&
                    resolve(util, "av_dict_free", api.dictFree) &&
                    resolve(util, "av_get_media_type_string", api.mediaTypeString) &&
                    resolve(codec, "avcodec_descriptor_get", api.descriptor) &&
                    resolve(codec, "av_packet_alloc", api.packetAlloc) &&
                    resolve(codec, "av_packet_free", api.packetFree) &&
                    resolve(codec, "av_packet_unref", api.packetUnref) &&
                    resolve(format, "avformat_open_input", api.openInput) &&
                    resolve(format, "av_find_input_format", api.findInputFormat) &&
                    resolve(format, "avformat_find_stream_info", api.findStreamInfo) &&
                    resolve(format, "avformat_close_input", api.closeInput) &&
                    resolve(format, "av_read_frame", api.readFrame) &&
                    resolve(format, "avformat_seek_file", api.seekFile);
    if (!ok) return nullptr;
    // The libraries would otherwise write their warnings to our standard error.
    api.logSetLevel(AV_LOG_QUIET);
    return &api;
}

const Api* api()
{
    static const Api* const loaded = load();
    return loaded;
}

// An opened file, closed when it goes out of scope. With `streamInfo` its first packets are
// decoded as ffprobe does (ffprobe gives up on a file when that fails); without, only its
// header is read.
class Input
{
  public:
    Input(const Api& api, const QString& path, bool streamInfo, const AVInputFormat* format = nullptr,
          bool quick = false)
        : m_api(api)
    {
        AVDictionary* options = nullptr;
        m_api.dictSet(&options, "scan_all_pmts", "1", AV_DICT_DONT_OVERWRITE);
        if (quick) {
            // Only the streams' first 32 KiB or 0.2 s; which format the file is in is still
            // told from as much of it as by default.
            m_api.dictSet(&options, "probesize", "32768", 0);
            m_api.dictSet(&options, "analyzeduration", "200000", 0);
        }
        // Nothing the file names is opened: no other protocol, no demuxer that reads other files.
        m_api.dictSet(&options, "protocol_whitelist", "file", 0);
        if (const QByteArray formats = Media::mediaDemuxers().join(QLatin1Char(',')).toLatin1();
            !formats.isEmpty())
            m_api.dictSet(&options, "format_whitelist", formats.constData(), 0);
        // The file protocol by name: a path is never read as another protocol's address.
        const QByteArray url = "file:" + QFile::encodeName(path);
        if (m_api.openInput(&m_context, url.constData(), format, &options) >= 0 && streamInfo &&
            m_api.findStreamInfo(m_context, nullptr) < 0)
            m_api.closeInput(&m_context);
        m_api.dictFree(&options);
    }
    ~Input()
    {
        if (m_context) m_api.closeInput(&m_context);
    }
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;
    AVFormatContext* get() const { return m_context; }

  private:
    const Api& m_api;
    AVFormatContext* m_context = nullptr;
};

// A time as ffprobe prints it ("%f") and Media::parseProbe reads it back.
double printedSeconds(int64_t ts, AVRational base)
{
    return QString::asprintf("%f", double(ts) * av_q2d(base)).toDouble();
}

bool isCover(const AVStream* s)
{
    return (s->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
}

// The stream's own length, or the file's when the stream is its only picture or sound; 0 when
// neither is known.
double streamSeconds(const AVStream* s, const AVFormatContext* c, bool alone)
{
    if (s->duration != AV_NOPTS_VALUE && s->duration > 0) return double(s->duration) * av_q2d(s->time_base);
    return alone && c->duration != AV_NOPTS_VALUE && c->duration > 0 ? double(c->duration) / AV_TIME_BASE : 0;
}

// The first picture stream that is not a cover, and the first sound stream; -1 for none.
std::pair<int, int> mainStreams(const AVFormatContext* c)
{
    int video = -1, audio = -1;
    for (unsigned i = 0; i < c->nb_streams; ++i) {
        const AVStream* s = c->streams[i];
        if (video < 0 && s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !isCover(s)) video = int(i);
        if (audio < 0 && s->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) audio = int(i);
    }
    return {video, audio};
}

// Whether the stream's display matrix turns its picture by a quarter turn (90° or 270°), so that
// it is shown, and decoded by ffmpeg, with width and height swapped.
bool quarterTurned(const AVStream* s)
{
    for (int i = 0; i < s->nb_side_data; ++i) {
        const AVPacketSideData& side = s->side_data[i];
        if (side.type != AV_PKT_DATA_DISPLAYMATRIX || side.size < 9 * int(sizeof(int32_t))) continue;
        int32_t m[9];
        std::memcpy(m, side.data, sizeof m);
        const double degrees = std::atan2(double(m[1]), double(m[0])) * 180 / M_PI;
        return std::abs(std::lround(degrees / 90)) % 2 == 1;
    }
    return false;
}

// The same steps as Media::parseProbe over the values ffprobe would print.
Media::Probe probeOf(const Api& api, const AVFormatContext* c)
{
    Media::Probe p;
    if (c->duration != AV_NOPTS_VALUE) p.duration = printedSeconds(c->duration, AV_TIME_BASE_Q);
    for (unsigned i = 0; i < c->nb_streams; ++i) {
        const AVStream* s = c->streams[i];
        const AVCodecParameters* par = s->codecpar;
        const char* typeName = api.mediaTypeString(par->codec_type);
        const QLatin1String type(typeName ? typeName : "");
        const AVCodecDescriptor* descriptor = api.descriptor(par->codec_id);
        const std::optional<QString> codec =
            descriptor ? std::optional<QString>(QString::fromLatin1(descriptor->name)) : std::nullopt;

        if (type == QLatin1String("video") && !p.videoCodec && !isCover(s)) {
            p.videoCodec = codec;
            p.width = par->width;
            p.height = par->height;
            if (quarterTurned(s)) std::swap(p.width, p.height);
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

// The length the header states, from the file or else from its longest stream, in AV_TIME_BASE
// units; 0 when it states none.
int64_t headerLength(const AVFormatContext* c)
{
    if (c->duration != AV_NOPTS_VALUE && c->duration > 0) return c->duration;
    int64_t longest = 0;
    for (unsigned i = 0; i < c->nb_streams; ++i) {
        const AVStream* s = c->streams[i];
        if (s->duration != AV_NOPTS_VALUE && s->duration > 0)
            longest = std::max(longest, int64_t(double(s->duration) * av_q2d(s->time_base) * AV_TIME_BASE));
    }
    return longest;
}

// How far the packets of the first picture and sound streams reach past the start their
// header states (0 when it states none), reading from where the file now stands to its end.
// The starts are taken before any packet is read: after a seek, the demuxer of a file that
// states none (ASF) would take the first packet it meets for the start.
void readEnds(const Api& api, AVFormatContext* c, int video, int audio,
              const std::pair<int64_t, int64_t>& starts, LibAv::Contents& out)
{
    AVPacket* packet = api.packetAlloc();
    if (!packet) return;
    while (api.readFrame(c, packet) >= 0) {
        const int index = packet->stream_index;
        const int64_t at = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        if ((index == video || index == audio) && at != AV_NOPTS_VALUE) {
            const AVStream* s = c->streams[index];
            const int64_t start = index == video ? starts.first : starts.second;
            const double end =
                double(at - start + std::max<int64_t>(packet->duration, 0)) * av_q2d(s->time_base);
            std::optional<double>& slot = index == video ? out.videoEnd : out.audioEnd;
            slot = std::max(slot.value_or(end), end);
        }
        api.packetUnref(packet);
    }
    api.packetFree(&packet);
}

// Whether a quick reading of the file is as good as the default one: it found the streams, and
// their parameters, the container lists them all in its header, and its length is stated
// rather than guessed from the bitrate of what was read.
bool settled(const AVFormatContext* c)
{
    if (!c || (c->ctx_flags & AVFMTCTX_NOHEADER) || headerLength(c) <= 0 ||
        c->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE)
        return false;
    const auto [video, audio] = mainStreams(c);
    if (video < 0 && audio < 0) return false;
    if (video >= 0 && (c->streams[video]->codecpar->width <= 0 || c->streams[video]->codecpar->height <= 0))
        return false;
    return audio < 0 || (c->streams[audio]->codecpar->sample_rate > 0 &&
                         c->streams[audio]->codecpar->ch_layout.nb_channels > 0);
}

// The demuxer that reads files written in the format `key`; none for a key not listed, which is
// probed.
const AVInputFormat* demuxerFor(const Api& api, const QString& key)
{
    static const QHash<QString, const char*> names{
        {"mp3", "mp3"},       {"m4a", "mov"}, {"mp4", "mov"},   {"mov", "mov"},   {"mkv", "matroska"},
        {"webm", "matroska"}, {"wav", "wav"}, {"aiff", "aiff"}, {"flac", "flac"}, {"ogg", "ogg"},
        {"opus", "ogg"},      {"wma", "asf"}, {"wmv", "asf"},   {"avi", "avi"},   {"gif", "gif"}};
    const char* name = names.value(key);
    return name ? api.findInputFormat(name) : nullptr;
}

} // namespace

namespace LibAv {

bool available()
{
    return api() != nullptr;
}

std::optional<Reading> read(const QString& path)
{
    const Api* a = api();
    if (!a) return std::nullopt;
    Reading r;
    // A quick reading tells most files apart; the default one is read where it leaves a doubt.
    std::optional<Input> input(std::in_place, *a, path, true, nullptr, true);
    if (!settled(input->get())) input.emplace(*a, path, true);
    const AVFormatContext* c = input->get();
    if (!c) return r;
    r.probe = probeOf(*a, c);
    const auto [video, audio] = mainStreams(c);
    if (video >= 0) r.videoSeconds = streamSeconds(c->streams[video], c, audio < 0);
    if (audio >= 0) r.audioSeconds = streamSeconds(c->streams[audio], c, video < 0);
    return r;
}

std::optional<Contents> contents(const QString& path, const QString& format)
{
    const Api* a = api();
    if (!a) return std::nullopt;
    Contents out;
    const Input input(*a, path, false, demuxerFor(*a, format));
    AVFormatContext* c = input.get();
    if (!c) return out;
    out.opened = true;
    const auto [video, audio] = mainStreams(c);
    out.hasVideo = video >= 0;
    out.hasAudio = audio >= 0;
    const auto startOf = [c](int index) {
        return index >= 0 && c->streams[index]->start_time != AV_NOPTS_VALUE ? c->streams[index]->start_time
                                                                             : int64_t(0);
    };
    const std::pair starts{startOf(video), startOf(audio)};
    // Only the last seconds need reading; a file the demuxer cannot seek in is read whole.
    constexpr int64_t tail = 3 * AV_TIME_BASE;
    if (const int64_t length = headerLength(c); length > tail)
        a->seekFile(c, -1, INT64_MIN, length - tail, length - tail, 0);
    readEnds(*a, c, video, audio, starts, out);
    return out;
}

std::optional<ShownFrame> shownFrame(const QString& path, double seconds)
{
    const Api* a = api();
    if (!a || !std::isfinite(seconds)) return std::nullopt;
    const Input input(*a, path, true, nullptr, true);
    AVFormatContext* c = input.get();
    const int video = c ? mainStreams(c).first : -1;
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

std::optional<double> copyStart(const QString& path, double seconds)
{
    const Api* a = api();
    if (!a || !std::isfinite(seconds)) return std::nullopt;
    const Input input(*a, path, true);
    AVFormatContext* c = input.get();
    const int video = c ? mainStreams(c).first : -1;
    if (video < 0) return std::nullopt;
    const int64_t origin = c->start_time != AV_NOPTS_VALUE ? c->start_time : 0;
    // The seek ffmpeg makes: a little earlier where the stored times are decoding times of a
    // picture with delayed frames.
    int64_t target = origin + std::llround(std::max(seconds, 0.0) * AV_TIME_BASE);
    if (!(c->iformat->flags & AVFMT_SEEK_TO_PTS))
        for (unsigned i = 0; i < c->nb_streams; ++i)
            if (c->streams[i]->codecpar->video_delay) {
                target -= 3 * AV_TIME_BASE / 23;
                break;
            }
    a->seekFile(c, -1, INT64_MIN, target, target, 0);
    const double base = av_q2d(c->streams[video]->time_base);
    std::optional<double> start;
    AVPacket* packet = a->packetAlloc();
    if (!packet) return std::nullopt;
    for (int budget = 20000; budget > 0 && !start && a->readFrame(c, packet) >= 0; --budget) {
        if (packet->stream_index == video && (packet->flags & AV_PKT_FLAG_KEY) &&
            packet->pts != AV_NOPTS_VALUE)
            start = double(packet->pts) * base - double(origin) / AV_TIME_BASE;
        a->packetUnref(packet);
    }
    a->packetFree(&packet);
    return start;
}

} // namespace LibAv
