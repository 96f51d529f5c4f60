#include "engines/media/libav.h"

#include "engines/media/libavinput.h"

#include <future>
#include <memory>
#include <vector>

namespace {

// How many packets of a stream may go by without a frame before it counts as undecodable.
constexpr int packetBudget = 48;
// The last stretch of the file that is decoded again, in seconds.
constexpr int64_t tailSeconds = 1;

// One stream's decoder, on one thread so that it gives a frame as soon as it can (frame threads
// hold frames back). A codec this ffmpeg has no decoder for can't be told about: it counts as
// decoding.
class Decoder
{
  public:
    Decoder(const LibAvApi& api, const AVStream* s) : m_api(api)
    {
        const AVCodec* codec = api.findDecoder(s->codecpar->codec_id);
        if (!codec) return;
        m_known = true;
        m_context = api.allocContext(codec);
        m_frame = api.frameAlloc();
        if (!m_context || !m_frame || api.parametersToContext(m_context, s->codecpar) < 0) return;
        m_context->thread_count = 1;
        // Whether a frame comes out is all that is asked: no time on how it looks.
        m_context->skip_loop_filter = AVDISCARD_ALL;
        m_context->flags2 |= AV_CODEC_FLAG2_FAST;
        m_open = api.openCodec(m_context, codec, nullptr) >= 0;
    }
    ~Decoder()
    {
        if (m_frame) m_api.frameFree(&m_frame);
        if (m_context) m_api.freeContext(&m_context);
    }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    bool known() const { return m_known; }
    // Hands it one packet, or none to drain it: whether a frame came out.
    bool feed(const AVPacket* packet)
    {
        if (!m_open) return false;
        m_api.sendPacket(m_context, packet);
        bool framed = false;
        while (m_api.receiveFrame(m_context, m_frame) >= 0)
            framed = true;
        return framed;
    }
    // Ready for packets again, after draining or from elsewhere in the file.
    void reset()
    {
        if (m_open) m_api.flushBuffers(m_context);
    }

  private:
    const LibAvApi& m_api;
    AVCodecContext* m_context = nullptr;
    AVFrame* m_frame = nullptr;
    bool m_known = false;
    bool m_open = false;
};

// Reads on from where `c` stands and hands each checked picture stream its first key packet,
// then drains its decoder, so that the frame comes out at once whatever frames a B-frame picture
// would hold back; a sound stream gets its packets one after another, as a sound decoder may
// give nothing for the first packet it is handed (Vorbis gives its samples from the second on).
// A stream whose key packet gives none tries its next, up to `packetBudget` packets. Whether
// each stream (by its number in `decoders`) gave a frame.
std::vector<bool> framesFrom(const LibAvApi& api, AVFormatContext* c,
                             std::vector<std::unique_ptr<Decoder>>& decoders)
{
    std::vector<bool> framed(decoders.size(), false);
    std::vector<int> seen(decoders.size(), 0);
    const auto settled = [&] {
        for (size_t i = 0; i < decoders.size(); ++i)
            if (decoders[i] && !framed[i] && seen[i] < packetBudget) return false;
        return true;
    };
    for (const auto& d : decoders)
        if (d) d->reset();
    AVPacket* packet = api.packetAlloc();
    if (!packet) return framed;
    while (!settled() && api.readFrame(c, packet) >= 0) {
        const auto i = size_t(packet->stream_index);
        if (i < decoders.size() && decoders[i] && !framed[i] && seen[i]++ < packetBudget &&
            (packet->flags & AV_PKT_FLAG_KEY)) {
            if (c->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
                framed[i] = decoders[i]->feed(packet);
            } else {
                const bool now = decoders[i]->feed(packet);
                framed[i] = decoders[i]->feed(nullptr) || now;
                decoders[i]->reset();
            }
        }
        api.packetUnref(packet);
    }
    api.packetFree(&packet);
    return framed;
}

// Which kind of stream of the file at `path` gives no frame from where it is read: its start, or
// with `tail` the key frame before its last second (a short film's may be its first), where a file
// too short for that or that can't seek is let be. Each reading opens the file on its own, so
// that the two can run side by side.
std::optional<QString> failingFrom(const LibAvApi& api, const QString& path, const QString& format, bool tail)
{
    const LibAvInput input(api, path, false, LibAvInput::demuxerFor(api, format));
    AVFormatContext* c = input.get();
    if (!c) return std::nullopt;
    if (tail) {
        const int64_t length = input.headerLength();
        const int64_t start = c->start_time != AV_NOPTS_VALUE ? c->start_time : 0;
        if (length <= tailSeconds * AV_TIME_BASE) return std::nullopt;
        const int64_t at = start + length - tailSeconds * AV_TIME_BASE;
        if (api.seekFile(c, -1, INT64_MIN, at, at, 0) < 0) return std::nullopt;
    }
    std::vector<std::unique_ptr<Decoder>> decoders(c->nb_streams);
    for (unsigned i = 0; i < c->nb_streams; ++i) {
        const AVStream* s = c->streams[i];
        const AVMediaType type = s->codecpar->codec_type;
        if ((type == AVMEDIA_TYPE_VIDEO && !LibAvInput::isCover(s)) || type == AVMEDIA_TYPE_AUDIO)
            if (auto d = std::make_unique<Decoder>(api, s); d->known()) decoders[i] = std::move(d);
    }
    const std::vector<bool> framed = framesFrom(api, c, decoders);
    for (size_t i = 0; i < decoders.size(); ++i)
        if (decoders[i] && !framed[i])
            return c->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO ? QStringLiteral("picture")
                                                                             : QStringLiteral("sound");
    return std::nullopt;
}

} // namespace

namespace LibAv {

std::optional<QString> undecodable(const QString& path, const QString& format)
{
    const LibAvApi* a = libAvApi();
    if (!a) return std::nullopt;
    // The end is read beside the start: each waits mostly on its decoder.
    auto end = std::async(std::launch::async, [&] { return failingFrom(*a, path, format, true); });
    const std::optional<QString> start = failingFrom(*a, path, format, false);
    const std::optional<QString> last = end.get();
    return start ? start : last;
}

std::optional<QString> undecodable(const QString& path, const QString& format, Stretch stretch)
{
    const LibAvApi* a = libAvApi();
    return a ? failingFrom(*a, path, format, stretch == Stretch::end) : std::nullopt;
}

} // namespace LibAv
