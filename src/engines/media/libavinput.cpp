#include "engines/media/libavinput.h"

#include "engines/media/libav.h"
#include "engines/media/media.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <algorithm>
#include <cmath>

namespace {

// The value of the tag named exactly `key` (ffprobe prints keys as they are stored), empty for none.
QString tag(const LibAvApi& api, const AVDictionary* tags, const char* key)
{
    const AVDictionaryEntry* e = api.dictGet(tags, key, nullptr, AV_DICT_MATCH_CASE);
    return e ? QString::fromUtf8(e->value) : QString();
}

} // namespace

LibAvInput::LibAvInput(const LibAvApi& api, const QString& path, bool streamInfo, const AVInputFormat* format,
                       bool quick)
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

LibAvInput::~LibAvInput()
{
    if (m_context) m_api.closeInput(&m_context);
}

double LibAvInput::seekAsFfmpeg(double seconds) const
{
    const int64_t origin = m_context->start_time != AV_NOPTS_VALUE ? m_context->start_time : 0;
    int64_t target = origin + std::llround(std::max(seconds, 0.0) * AV_TIME_BASE);
    if (!(m_context->iformat->flags & AVFMT_SEEK_TO_PTS))
        for (unsigned i = 0; i < m_context->nb_streams; ++i)
            if (m_context->streams[i]->codecpar->video_delay) {
                target -= std::llround(LibAv::seekMargin * AV_TIME_BASE);
                break;
            }
    m_api.seekFile(m_context, -1, INT64_MIN, target, target, 0);
    return double(origin) / AV_TIME_BASE;
}

std::pair<int, int> LibAvInput::mainStreams() const
{
    int video = -1, audio = -1;
    for (unsigned i = 0; m_context && i < m_context->nb_streams; ++i) {
        const AVStream* s = m_context->streams[i];
        if (video < 0 && s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !isCover(s)) video = int(i);
        if (audio < 0 && s->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) audio = int(i);
    }
    return {video, audio};
}

int64_t LibAvInput::headerLength() const
{
    const AVFormatContext* c = m_context;
    if (!c) return 0;
    if (c->duration != AV_NOPTS_VALUE && c->duration > 0) return c->duration;
    int64_t longest = 0;
    for (unsigned i = 0; i < c->nb_streams; ++i) {
        const AVStream* s = c->streams[i];
        if (s->duration != AV_NOPTS_VALUE && s->duration > 0)
            longest = std::max(longest, int64_t(double(s->duration) * av_q2d(s->time_base) * AV_TIME_BASE));
    }
    return longest;
}

bool LibAvInput::isCover(const AVStream* s)
{
    return (s->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
}

std::optional<double> LibAvInput::printedSeconds(int64_t ts, AVRational base)
{
    if (ts == AV_NOPTS_VALUE) return std::nullopt;
    return QString::asprintf("%f", double(ts) * av_q2d(base)).toDouble();
}

QList<Media::Stream> LibAvInput::streams() const
{
    QList<Media::Stream> out;
    for (unsigned i = 0; m_context && i < m_context->nb_streams; ++i) {
        const AVStream* s = m_context->streams[i];
        const AVCodecParameters* par = s->codecpar;
        using Kind = Media::Stream::Kind;
        Media::Stream stream;
        stream.index = s->index;
        stream.kind = par->codec_type == AVMEDIA_TYPE_VIDEO        ? Kind::video
                      : par->codec_type == AVMEDIA_TYPE_AUDIO      ? Kind::audio
                      : par->codec_type == AVMEDIA_TYPE_SUBTITLE   ? Kind::subtitle
                      : par->codec_type == AVMEDIA_TYPE_ATTACHMENT ? Kind::attachment
                                                                   : Kind::other;
        if (const AVCodecDescriptor* d = m_api.descriptor(par->codec_id))
            stream.codec = QString::fromLatin1(d->name);
        stream.language = tag(m_api, s->metadata, "language");
        if (stream.language == QLatin1String("und")) stream.language.clear();
        stream.title = tag(m_api, s->metadata, "title");
        stream.cover = isCover(s);
        stream.isDefault = (s->disposition & AV_DISPOSITION_DEFAULT) != 0;
        stream.forced = (s->disposition & AV_DISPOSITION_FORCED) != 0;
        if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
            stream.sampleRate = par->sample_rate;
            stream.bits =
                par->bits_per_raw_sample > 0 ? par->bits_per_raw_sample : par->bits_per_coded_sample;
        }
        char fourcc[AV_FOURCC_MAX_STRING_SIZE] = {};
        stream.codecTag = QString::fromLatin1(m_api.fourccString(fourcc, par->codec_tag));
        stream.fileName = tag(m_api, s->metadata, "filename");
        stream.mimeType = tag(m_api, s->metadata, "mimetype");
        // QuickTime names it "timecode", Matroska "TIMECODE".
        if (const AVDictionaryEntry* e = m_api.dictGet(s->metadata, "timecode", nullptr, 0))
            stream.timecode = QString::fromUtf8(e->value);
        out << stream;
    }
    // ffmpeg keeps a Matroska film's timecode as a tag of the file: it is its picture's.
    const int video = mainStreams().first;
    if (video >= 0 && out[video].timecode.isEmpty())
        if (const AVDictionaryEntry* e = m_api.dictGet(m_context->metadata, "timecode", nullptr, 0))
            out[video].timecode = QString::fromUtf8(e->value);
    return out;
}

QList<Chapters::Chapter> LibAvInput::chapters() const
{
    QList<Chapters::Chapter> out;
    for (unsigned i = 0; m_context && i < m_context->nb_chapters; ++i) {
        const AVChapter* c = m_context->chapters[i];
        const std::optional<double> start = printedSeconds(c->start, c->time_base);
        const std::optional<double> end = printedSeconds(c->end, c->time_base);
        if (!start || !end) continue;
        Chapters::Chapter chapter{*start, *end, {}};
        // In the order of their keys, as a JSON object hands them back.
        const AVDictionaryEntry* e = nullptr;
        while ((e = m_api.dictGet(c->metadata, "", e, AV_DICT_IGNORE_SUFFIX)))
            chapter.tags << std::pair{QString::fromUtf8(e->key), QString::fromUtf8(e->value)};
        std::stable_sort(chapter.tags.begin(), chapter.tags.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        out << chapter;
    }
    return out;
}

const AVInputFormat* LibAvInput::demuxerFor(const LibAvApi& api, const QString& key)
{
    static const QHash<QString, const char*> names{
        {"mp3", "mp3"},       {"m4a", "mov"}, {"mp4", "mov"},   {"mov", "mov"},   {"mkv", "matroska"},
        {"webm", "matroska"}, {"wav", "wav"}, {"aiff", "aiff"}, {"flac", "flac"}, {"ogg", "ogg"},
        {"opus", "ogg"},      {"wma", "asf"}, {"wmv", "asf"},   {"avi", "avi"},   {"gif", "gif"}};
    const char* name = names.value(key);
    return name ? api.findInputFormat(name) : nullptr;
}
