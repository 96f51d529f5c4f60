#include "engines/media/libav.h"

#include "core/converterror.h"
#include "core/job.h"
#include "engines/media/libavinput.h"

#include <QFile>
#include <QHash>
#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr AVRational timeBaseQ{1, AV_TIME_BASE};
// A time further than this from the one expected is taken for a broken one and dropped, as
// ffmpeg's -dts_error_threshold does by default.
constexpr int64_t timeErrorThreshold = int64_t(3600 * 30) * AV_TIME_BASE;

// Files whose times run on without wrapping or jumping: the copy keeps them as ffmpeg does.
// Others (transport streams, whose clock wraps and restarts) go to the ffmpeg program.
bool steadyTimes(const AVInputFormat* format)
{
    return std::strcmp(format->name, "matroska,webm") == 0 ||
           std::strcmp(format->name, "mov,mp4,m4a,3gp,3g2,mj2") == 0;
}

// One copied stream, with what ffmpeg's stream copy keeps track of: the decoding time it
// expects next (in AV_TIME_BASE units), from which it fills in a packet stored without one
// (Matroska stores none for frames that B-frames reorder), and the last time it handed the
// muxer, after which the next may not come.
struct Copied
{
    AVStream* in = nullptr;
    AVStream* out = nullptr;
    int64_t packetsRead = 0;
    int64_t written = 0;
    bool sawFirst = false;
    int64_t dts = 0;
    int64_t pts = 0;
    int64_t nextDts = AV_NOPTS_VALUE;
    int64_t lastDelta = AV_NOPTS_VALUE;
    int64_t lastMuxDts = AV_NOPTS_VALUE;
};

// The middle one of three, with the wrap-around of the sum it is taken from.
int64_t middle(int64_t a, int64_t b, int64_t c)
{
    const uint64_t sum = uint64_t(a) + uint64_t(b) + uint64_t(c);
    return int64_t(sum - uint64_t(std::min({a, b, c})) - uint64_t(std::max({a, b, c})));
}

class Remux
{
  public:
    Remux(const LibAvApi& api, const QString& output, Job* job) : m_api(api), m_output(output), m_job(job) {}
    ~Remux()
    {
        if (m_context) {
            if (m_context->pb) m_api.ioClose(&m_context->pb);
            m_api.freeFormat(m_context);
        }
        if (m_packet) m_api.packetFree(&m_packet);
        if (m_created && !m_kept) QFile::remove(m_output);
    }
    Remux(const Remux&) = delete;
    Remux& operator=(const Remux&) = delete;

    // Whether the streams could be laid out as ffmpeg lays them; what fails to be written throws.
    bool open(const LibAvInput& input, const QString& muxer, const LibAv::CopyOptions& options);
    // Copies every packet; gives how far the result reaches, in seconds.
    std::optional<double> copy(const LibAvInput& input, double duration, const Progress& progress);

  private:
    bool step(int result, const char* what);
    void copyChapters(const AVFormatContext* in);
    bool addStream(AVStream* in, bool hvc1);
    // Hands one packet read from the source to the muxer the way ffmpeg's stream copy does;
    // false when it won't take it.
    bool write(Copied& s, AVPacket* pkt);

    const LibAvApi& m_api;
    const QString m_output;
    Job* const m_job;
    AVFormatContext* m_context = nullptr;
    AVPacket* m_packet = nullptr;
    std::vector<Copied> m_streams;
    QHash<int, int> m_copiedOf; // source stream index → m_streams index
    int64_t m_offset = 0;       // what ffmpeg adds to every time: minus the source's start
    double m_reach = 0;
    bool m_created = false; // the result was opened, and is removed unless it is kept
    bool m_kept = false;
};

// Whether a step went well. A full disk fails the conversion, in plain words: the ffmpeg
// program would only meet it again. Any other failure gives way to the ffmpeg program.
bool Remux::step(int result, const char* what)
{
    if (result >= 0) return true;
    if (result == AVERROR(ENOSPC) || result == AVERROR(EDQUOT) || result == AVERROR(EFBIG)) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        m_api.strerror(result, text, sizeof text);
        throw ConvertError::failed(
            QStringLiteral("The disk is full"),
            QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(text)));
    }
    return false;
}

bool Remux::open(const LibAvInput& input, const QString& muxer, const LibAv::CopyOptions& options)
{
    AVFormatContext* in = input.get();
    const QByteArray url = "file:" + QFile::encodeName(m_output);
    if (m_api.allocOutput(&m_context, nullptr, muxer.toLatin1().constData(), url.constData()) < 0 ||
        !m_context)
        return false;
    m_packet = m_api.packetAlloc();
    if (!m_packet) return false;
    // ffmpeg's -muxdelay.
    m_context->max_delay = 700000;
    m_offset = in->start_time != AV_NOPTS_VALUE ? -in->start_time : 0;

    // The first picture stream that is not a cover, then every sound stream; the rest is not read.
    const int picture = input.mainStreams().first;
    if (picture < 0) return false;
    std::vector<int> chosen{picture};
    for (unsigned i = 0; i < in->nb_streams; ++i)
        if (in->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) chosen.push_back(int(i));
    for (unsigned i = 0; i < in->nb_streams; ++i)
        in->streams[i]->discard = std::find(chosen.begin(), chosen.end(), int(i)) == chosen.end()
                                      ? AVDISCARD_ALL
                                      : AVDISCARD_DEFAULT;
    for (const int index : chosen)
        if (!addStream(in->streams[index], options.hvc1 && index == picture)) return false;

    m_api.dictCopy(&m_context->metadata, in->metadata, AV_DICT_DONT_OVERWRITE);
    copyChapters(in);

    if (!step(m_api.ioOpen(&m_context->pb, url.constData(), AVIO_FLAG_WRITE), "Could not open the result"))
        return false;
    m_created = true;
    AVDictionary* muxerOptions = nullptr;
    if (options.faststart) m_api.dictSet(&muxerOptions, "movflags", "+faststart", 0);
    const int header = m_api.writeHeader(m_context, &muxerOptions);
    m_api.dictFree(&muxerOptions);
    return step(header, "Could not write header");
}

bool Remux::addStream(AVStream* in, bool hvc1)
{
    if (in->codecpar->codec_id == AV_CODEC_ID_NONE) return false;
    AVStream* out = m_api.newStream(m_context, nullptr);
    if (!out) return false;
    if (m_api.parametersCopy(out->codecpar, in->codecpar) < 0) return false;
    // The source's tag where the target knows it for this codec, or knows none for it.
    const AVCodecParameters* par = in->codecpar;
    const AVCodecTag* const* tags = m_context->oformat->codec_tag;
    unsigned int known = 0;
    out->codecpar->codec_tag = hvc1 ? MKTAG('h', 'v', 'c', '1')
                               : !tags || m_api.codecGetId(tags, par->codec_tag) == par->codec_id ||
                                       !m_api.codecGetTag2(tags, par->codec_id, &known)
                                   ? par->codec_tag
                                   : 0;
    if (m_api.transferTiming(m_context->oformat, out, in, AVFMT_TBCF_AUTO) < 0) return false;
    if (out->time_base.num <= 0 || out->time_base.den <= 0)
        out->time_base = m_api.addQ(m_api.codecTimeBase(out), AVRational{0, 1});
    if (out->duration <= 0 && in->duration > 0)
        out->duration = m_api.rescaleQ(in->duration, in->time_base, out->time_base);
    for (int i = 0; i < in->nb_side_data; ++i) {
        const AVPacketSideData& sd = in->side_data[i];
        uint8_t* data = m_api.streamNewSideData(out, sd.type, sd.size);
        if (!data) return false;
        std::memcpy(data, sd.data, sd.size);
    }
    out->disposition = in->disposition;
    if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
        const AVRational sar =
            in->sample_aspect_ratio.num ? in->sample_aspect_ratio : par->sample_aspect_ratio;
        out->sample_aspect_ratio = out->codecpar->sample_aspect_ratio = sar;
        out->avg_frame_rate = in->avg_frame_rate;
        out->r_frame_rate = in->r_frame_rate;
    } else if ((par->codec_id == AV_CODEC_ID_MP3 &&
                (par->block_align == 1 || par->block_align == 1152 || par->block_align == 576)) ||
               par->codec_id == AV_CODEC_ID_AC3) {
        out->codecpar->block_align = 0;
    }
    m_api.dictCopy(&out->metadata, in->metadata, AV_DICT_DONT_OVERWRITE);
    m_copiedOf.insert(in->index, int(m_streams.size()));
    m_streams.push_back(Copied{in, out});
    return true;
}

// Chapters move with the times, and those that end before the result begins are left out.
void Remux::copyChapters(const AVFormatContext* in)
{
    if (!in->nb_chapters) return;
    m_context->chapters = static_cast<AVChapter**>(m_api.calloc(in->nb_chapters, sizeof(AVChapter*)));
    if (!m_context->chapters) return;
    for (unsigned i = 0; i < in->nb_chapters; ++i) {
        const AVChapter* from = in->chapters[i];
        const int64_t shift = m_api.rescaleQ(-m_offset, timeBaseQ, from->time_base);
        if (from->end < shift) continue;
        auto* to = static_cast<AVChapter*>(m_api.mallocz(sizeof(AVChapter)));
        if (!to) return;
        to->id = from->id;
        to->time_base = from->time_base;
        to->start = std::max<int64_t>(0, from->start - shift);
        to->end = from->end - shift;
        m_api.dictCopy(&to->metadata, from->metadata, 0);
        m_context->chapters[m_context->nb_chapters++] = to;
    }
}

std::optional<double> Remux::copy(const LibAvInput& input, double duration, const Progress& progress)
{
    double shown = 0;
    // A packet that can't be read ends the source, as it ends ffmpeg's reading.
    while (m_api.readFrame(input.get(), m_packet) >= 0) {
        if (m_job) m_job->throwIfCancelled();
        const auto copied = m_copiedOf.constFind(m_packet->stream_index);
        if (copied == m_copiedOf.cend()) {
            m_api.packetUnref(m_packet);
            continue;
        }
        if (!write(m_streams[*copied], m_packet)) return std::nullopt;
        // In steps of a hundredth, as far as 0.99: the result is read back after the copy.
        if (const double done = duration > 0 ? std::min(0.99, m_reach / duration) : 0;
            progress && done >= shown + 0.01) {
            shown = done;
            progress(shown);
        }
    }
    if (m_job) m_job->throwIfCancelled();
    if (!step(m_api.writeTrailer(m_context), "Error writing trailer")) return std::nullopt;
    if (!step(m_api.ioClose(&m_context->pb), "Error closing file")) return std::nullopt;
    m_kept = true;
    return m_reach;
}

bool Remux::write(Copied& s, AVPacket* pkt)
{
    const AVStream* in = s.in;
    const AVCodecParameters* par = in->codecpar;
    // The stream's own side data goes with its first packet, but for its turn.
    if (++s.packetsRead == 1)
        for (int i = 0; i < in->nb_side_data; ++i) {
            const AVPacketSideData& sd = in->side_data[i];
            if (sd.type == AV_PKT_DATA_DISPLAYMATRIX || m_api.packetGetSideData(pkt, sd.type, nullptr))
                continue;
            uint8_t* data = m_api.packetNewSideData(pkt, sd.type, sd.size);
            if (!data) return false;
            std::memcpy(data, sd.data, sd.size);
        }
    const int64_t shift = m_api.rescaleQ(m_offset, timeBaseQ, in->time_base);
    if (pkt->dts != AV_NOPTS_VALUE) pkt->dts += shift;
    if (pkt->pts != AV_NOPTS_VALUE) pkt->pts += shift;
    const int64_t dts = m_api.rescaleQRnd(pkt->dts, in->time_base, timeBaseQ,
                                          AVRounding(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
    if (dts != AV_NOPTS_VALUE && s.nextDts != AV_NOPTS_VALUE) {
        const auto broken = [&](int64_t t) {
            return t - s.nextDts < -timeErrorThreshold || t - s.nextDts > timeErrorThreshold;
        };
        if (broken(dts)) pkt->dts = AV_NOPTS_VALUE;
        if (pkt->pts != AV_NOPTS_VALUE && broken(m_api.rescaleQ(pkt->pts, in->time_base, timeBaseQ)))
            pkt->pts = AV_NOPTS_VALUE;
    }

    // The decoding time expected of this packet, and of the next.
    const bool video = par->codec_type == AVMEDIA_TYPE_VIDEO;
    if (!s.sawFirst) {
        const int delay = video ? par->video_delay : 0;
        s.dts = in->avg_frame_rate.num ? int64_t(-delay * AV_TIME_BASE / av_q2d(in->avg_frame_rate)) : 0;
        s.pts = 0;
        if (pkt->pts != AV_NOPTS_VALUE) s.pts = s.dts += m_api.rescaleQ(pkt->pts, in->time_base, timeBaseQ);
        s.sawFirst = true;
    }
    if (s.nextDts == AV_NOPTS_VALUE) s.nextDts = s.dts;
    if (pkt->dts != AV_NOPTS_VALUE) s.nextDts = m_api.rescaleQ(pkt->dts, in->time_base, timeBaseQ);
    s.dts = s.nextDts;
    if (!video) {
        s.nextDts += par->sample_rate ? int64_t(AV_TIME_BASE) * par->frame_size / par->sample_rate
                                      : m_api.rescaleQ(pkt->duration, in->time_base, timeBaseQ);
    } else if (pkt->duration) {
        s.nextDts += m_api.rescaleQ(pkt->duration, in->time_base, timeBaseQ);
    } else if (in->avg_frame_rate.num) {
        const AVCodecParserContext* parser = m_api.streamParser(in);
        const int ticks = parser ? parser->repeat_pict + 1 : 1;
        s.nextDts += int64_t(AV_TIME_BASE) * in->avg_frame_rate.den * ticks / in->avg_frame_rate.num;
    }
    s.pts = s.dts;

    // The copy begins with a key frame, whenever it is shown: packets before the start are kept
    // too (a sound encoder's priming, frames an edit list hides), for the muxer to place.
    if (s.written == 0 && !(pkt->flags & AV_PKT_FLAG_KEY)) {
        m_api.packetUnref(pkt);
        return true;
    }
    // Into the muxer's time base: sound by its samples, so that times stored in coarser units
    // (Matroska's milliseconds) come out even.
    const AVRational mux = s.out->time_base;
    if (pkt->pts != AV_NOPTS_VALUE) pkt->pts = m_api.rescaleQ(pkt->pts, in->time_base, mux);
    if (pkt->dts == AV_NOPTS_VALUE) {
        pkt->dts = m_api.rescaleQ(s.dts, timeBaseQ, mux);
    } else if (!video) {
        int frame = m_api.audioFrameDuration(const_cast<AVCodecParameters*>(par), pkt->size);
        if (!frame) frame = par->frame_size;
        pkt->pts = pkt->dts = m_api.rescaleDelta(in->time_base, pkt->dts, AVRational{1, par->sample_rate},
                                                 frame, &s.lastDelta, mux);
    } else {
        pkt->dts = m_api.rescaleQ(pkt->dts, in->time_base, mux);
    }
    pkt->duration = m_api.rescaleQ(pkt->duration, in->time_base, mux);
    if (pkt->pts != AV_NOPTS_VALUE)
        m_reach = std::max(m_reach, double(pkt->pts + std::max<int64_t>(0, pkt->duration)) * av_q2d(mux));

    // As the muxer is handed it: no decoding after showing, and decoding times that rise.
    if (!(m_context->oformat->flags & AVFMT_NOTIMESTAMPS)) {
        if (pkt->dts != AV_NOPTS_VALUE && pkt->pts != AV_NOPTS_VALUE && pkt->dts > pkt->pts)
            pkt->pts = pkt->dts = middle(pkt->pts, pkt->dts, s.lastMuxDts + 1);
        if (pkt->dts != AV_NOPTS_VALUE && s.lastMuxDts != AV_NOPTS_VALUE) {
            const int64_t least = s.lastMuxDts + !(m_context->oformat->flags & AVFMT_TS_NONSTRICT);
            if (pkt->dts < least) {
                if (pkt->pts >= pkt->dts) pkt->pts = std::max(pkt->pts, least);
                pkt->dts = least;
            }
        }
    }
    s.lastMuxDts = pkt->dts;
    ++s.written;
    pkt->stream_index = s.out->index;
    return step(m_api.writeFrame(m_context, pkt), "av_interleaved_write_frame()");
}

} // namespace

namespace LibAv {

std::optional<double> remux(const QString& source, const QString& output, const QString& target,
                            const CopyOptions& options, Job* job, const Progress& progress, double duration)
{
    const LibAvApi* a = libAvApi();
    if (!a || !remuxTargets().contains(target)) return std::nullopt;
    LibAvInput input(*a, source, true);
    if (!input.get() || !steadyTimes(input.get()->iformat)) return std::nullopt;
    Remux remux(*a, output, job);
    if (!remux.open(input, muxerFor(target), options)) return std::nullopt;
    return remux.copy(input, duration, progress);
}

const QStringList& remuxTargets()
{
    static const QStringList targets{"mp4", "mov", "mkv", "webm"};
    return targets;
}

QString muxerFor(const QString& target)
{
    static const QHash<QString, QString> names{
        {"mp3", "mp3"},   {"m4a", "ipod"}, {"mp4", "mp4"},   {"mov", "mov"},   {"mkv", "matroska"},
        {"webm", "webm"}, {"wav", "wav"},  {"aiff", "aiff"}, {"flac", "flac"}, {"ogg", "ogg"},
        {"opus", "opus"}, {"wma", "asf"},  {"wmv", "asf"},   {"avi", "avi"},   {"gif", "gif"}};
    return names.value(target);
}

} // namespace LibAv
