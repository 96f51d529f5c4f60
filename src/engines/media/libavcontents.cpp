#include "engines/media/libav.h"

#include "engines/media/libavinput.h"

#include <algorithm>
#include <vector>

namespace {

// How many packets of a stream tell where it begins: more than the frames a B-frame picture
// decodes before the one it shows first.
constexpr int firstPackets = 16;

// One frame of a picture stream by its rate; 0 when it states none.
double frameOf(const AVStream* s)
{
    for (const AVRational rate : {s->avg_frame_rate, s->r_frame_rate})
        if (rate.num > 0 && rate.den > 0) return av_q2d(av_inv_q(rate));
    return 0;
}

// What the packets of the first picture and sound streams tell, over one or more passes through
// a file: how far they reach past the start their header states (0 when it states none), and
// where the first of them begin. The starts are taken before any packet is read: after a seek,
// the demuxer of a file that states none (ASF) would take the first packet it meets for the
// start.
class PacketReach
{
  public:
    PacketReach(const LibAvApi& api, const LibAvInput& input, LibAv::Contents& out) : m_api(api), m_out(out)
    {
        AVFormatContext* c = input.get();
        std::tie(m_video, m_audio) = input.mainStreams();
        const auto startOf = [c](int index) {
            return index >= 0 && c->streams[index]->start_time != AV_NOPTS_VALUE
                       ? c->streams[index]->start_time
                       : int64_t(0);
        };
        m_starts = {startOf(m_video), startOf(m_audio)};
        m_fileStart = c->start_time != AV_NOPTS_VALUE ? double(c->start_time) / AV_TIME_BASE : 0;
        out.hasVideo = m_video >= 0;
        out.hasAudio = m_audio >= 0;
        if (m_video >= 0) {
            m_frames.first = frameOf(c->streams[m_video]);
            m_declared = c->streams[m_video]->codecpar->video_delay * m_frames.first;
        }
    }

    // Reads from where `c` stands to its end, or only until each stream has shown where it
    // begins. Returns whether a packet of the picture and of the sound was met.
    std::pair<bool, bool> read(AVFormatContext* c, bool firstOnly)
    {
        std::pair met{false, false};
        AVPacket* packet = m_api.packetAlloc();
        if (!packet) return met;
        int budget = 1000;
        while (!(firstOnly && (begun() || budget-- <= 0)) && m_api.readFrame(c, packet) >= 0) {
            const int index = packet->stream_index;
            const bool timed = packet->pts != AV_NOPTS_VALUE || packet->dts != AV_NOPTS_VALUE;
            if ((index == m_video || index == m_audio) && timed) {
                (index == m_video ? met.first : met.second) = true;
                add(c->streams[index], *packet, index == m_video);
            } else if (timed && index >= 0 && unsigned(index) < c->nb_streams) {
                reachOf(c->streams[index], *packet);
            }
            m_api.packetUnref(packet);
        }
        m_api.packetFree(&packet);
        m_out.lead = std::max({heldBack(), m_declared, m_firstDelay});
        m_out.frame = std::max(m_frames.first, m_frames.second);
        return met;
    }

  private:
    // How long the picture's first packets are decoded before they are shown, as far as their
    // order tells: the k-th packet decoded can't be shown before the k-th earliest time among
    // them. An encoder may hold back more than its frames' order needs, which the stream states
    // (its delay in frames) and the first packet's decoding time shows.
    double heldBack() const
    {
        std::vector<double> sorted = m_shown;
        std::sort(sorted.begin(), sorted.end());
        double most = 0;
        for (size_t k = 0; k < sorted.size(); ++k)
            most = std::max(most, sorted[k] - m_shown[k]);
        return most;
    }

    bool begun() const
    {
        return (m_video < 0 || m_seen.first >= firstPackets) &&
               (m_audio < 0 || m_seen.second >= firstPackets);
    }

    void add(const AVStream* s, const AVPacket& packet, bool video)
    {
        const double base = av_q2d(s->time_base);
        const int64_t at = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
        const double length = double(std::max<int64_t>(packet.duration, 0)) * base;
        const double end = double(at - (video ? m_starts.first : m_starts.second)) * base + length;
        std::optional<double>& reach = video ? m_out.videoEnd : m_out.audioEnd;
        reach = std::max(reach.value_or(end), end);
        reachOf(s, packet);
        int& seen = video ? m_seen.first : m_seen.second;
        if (seen >= firstPackets) return;
        ++seen;
        std::optional<double>& first = video ? m_out.videoStart : m_out.audioStart;
        first = std::min(first.value_or(double(at) * base), double(at) * base);
        if (video) m_shown.push_back(double(at) * base);
        if (video && seen == 1 && packet.pts != AV_NOPTS_VALUE && packet.dts != AV_NOPTS_VALUE)
            m_firstDelay = double(packet.pts - packet.dts) * base;
        double& frame = video ? m_frames.first : m_frames.second;
        if (frame <= 0) frame = length;
        // Sound packets follow one another: where the container times them by their starts only,
        // the gap between the first two tells their length.
        if (frame <= 0 && !video && m_lastSound) frame = double(at) * base - *m_lastSound;
        if (!video) m_lastSound = double(at) * base;
    }

    // Counts the packet of a picture or sound stream towards the furthest reach, from the file's
    // start, which ffmpeg counts its time from.
    void reachOf(const AVStream* s, const AVPacket& packet)
    {
        const AVMediaType type = s->codecpar->codec_type;
        if ((type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO) || LibAvInput::isCover(s)) return;
        const int64_t at = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
        const double end =
            double(at + std::max<int64_t>(packet.duration, 0)) * av_q2d(s->time_base) - m_fileStart;
        m_out.furthestEnd = std::max(m_out.furthestEnd.value_or(end), end);
    }

    const LibAvApi& m_api;
    LibAv::Contents& m_out;
    int m_video = -1;
    int m_audio = -1;
    std::pair<int64_t, int64_t> m_starts;
    double m_fileStart = 0; // seconds
    std::pair<int, int> m_seen{0, 0};
    std::vector<double> m_shown;              // the times of the picture's first packets, in decoding order
    std::pair<double, double> m_frames{0, 0}; // one frame of the picture, one packet of the sound
    std::optional<double> m_lastSound;
    double m_declared = 0;   // the delay the picture stream states, seconds
    double m_firstDelay = 0; // how long before it is shown the first picture packet is decoded
};

} // namespace

namespace LibAv {

std::optional<Contents> contents(const QString& path, const QString& format)
{
    const LibAvApi* a = libAvApi();
    if (!a) return std::nullopt;
    Contents out;
    const AVInputFormat* demuxer = LibAvInput::demuxerFor(*a, format);
    const LibAvInput input(*a, path, false, demuxer);
    AVFormatContext* c = input.get();
    if (!c) return out;
    out.opened = true;
    PacketReach reach(*a, input, out);
    reach.read(c, true);
    // Then only the last seconds need reading; a file the demuxer cannot seek in is read on to
    // its end.
    constexpr int64_t tail = 3 * AV_TIME_BASE;
    const int64_t length = input.headerLength();
    if (length <= tail || a->seekFile(c, -1, INT64_MIN, length - tail, length - tail, 0) < 0) {
        reach.read(c, false);
        return out;
    }
    const auto [video, audio] = reach.read(c, false);
    if ((out.hasVideo && !video) || (out.hasAudio && !audio)) {
        // The index promises packets that the file doesn't hold: a download broken off after an
        // index at the front. Its data reaches as far as it can be read from the start.
        const LibAvInput again(*a, path, false, demuxer);
        if (again.get()) reach.read(again.get(), false);
    }
    return out;
}

} // namespace LibAv
