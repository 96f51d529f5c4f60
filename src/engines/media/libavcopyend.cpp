#include "engines/media/libav.h"

#include "engines/media/libavinput.h"

#include <algorithm>
#include <cmath>
#include <vector>

// Where a stream copy must stop reading its picture so that it ends with the frame shown last.

namespace LibAv {

std::optional<double> copiedPictureLength(const QString& path, double seek, double end)
{
    const LibAvApi* a = libAvApi();
    if (!a || !std::isfinite(seek) || !std::isfinite(end)) return std::nullopt;
    const LibAvInput input(*a, path, true);
    AVFormatContext* c = input.get();
    const int video = c ? input.mainStreams().first : -1;
    if (video < 0) return std::nullopt;
    // Read from where the copy starts or from a moment before its end, whichever is later: past
    // the first packets after a seek, ffmpeg takes the decoding times the demuxer gives, which
    // depend only on the packets near them.
    const double zero = input.seekAsFfmpeg(std::max(seek, end - 1.5));
    const AVStream* stream = c->streams[video];
    const double base = av_q2d(stream->time_base);
    const AVRational rate = stream->avg_frame_rate;
    const double frame = rate.num > 0 && rate.den > 0 ? av_q2d(av_inv_q(rate)) : 0;

    // Each picture packet from the key frame the copy begins with, in decoding order: when it is
    // shown, and its decoding time as ffmpeg counts it, which its -t is measured against.
    struct Packet
    {
        double shown;
        double decoded;
    };
    std::vector<Packet> packets;
    // ffmpeg takes a stored decoding time; without one (Matroska), the one before moved on by
    // that packet's length, and for the first packet the time it is shown less the frames the
    // stream holds back.
    std::optional<double> next;
    AVPacket* packet = a->packetAlloc();
    if (!packet) return std::nullopt;
    for (int budget = 20000; budget > 0; --budget) {
        if (a->readFrame(c, packet) < 0) break;
        const bool ours = packet->stream_index == video;
        const int64_t pts = packet->pts, dts = packet->dts, duration = packet->duration;
        const bool key = packet->flags & AV_PKT_FLAG_KEY;
        a->packetUnref(packet);
        if (!ours) continue;
        if (pts == AV_NOPTS_VALUE) break;
        const double shown = double(pts) * base - zero;
        const double decoded = dts != AV_NOPTS_VALUE ? double(dts) * base - zero
                               : next                ? *next
                                                     : shown - stream->codecpar->video_delay * frame;
        next = decoded + (duration > 0 ? double(duration) * base : frame);
        if (packets.empty() && !key) continue; // not copied: the copy begins with a key frame
        packets.push_back({shown, decoded});
        // No frame held back for B-frames waits this long to be decoded.
        if (decoded > end + 2) break;
    }
    a->packetFree(&packet);

    // The packets up to the last frame shown before the end, and then up to the last one shown
    // no later than any of those: a frame held back is decoded after the frame it needs, which
    // is shown after it.
    std::optional<size_t> last;
    for (size_t i = 0; i < packets.size(); ++i)
        if (packets[i].shown < end - 0.0005) last = i;
    if (!last) return std::nullopt;
    for (bool grew = true; grew;) {
        grew = false;
        double latest = -INFINITY;
        for (size_t i = 0; i <= *last; ++i)
            latest = std::max(latest, packets[i].shown);
        for (size_t i = *last + 1; i < packets.size(); ++i)
            if (packets[i].shown <= latest + 0.0005) last = i, grew = true;
    }
    // The picture ends with these: nothing to stop before.
    if (*last + 1 >= packets.size()) return std::nullopt;
    // Halfway between the last packet copied and the first one left out.
    const double before = packets[*last].decoded, after = packets[*last + 1].decoded;
    const double length = (before + after) / 2 - seek;
    if (!(after > before) || length <= 0) return std::nullopt;
    return length;
}

} // namespace LibAv
