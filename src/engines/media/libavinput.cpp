#include "engines/media/libavinput.h"

#include "engines/media/media.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <algorithm>

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

const AVInputFormat* LibAvInput::demuxerFor(const LibAvApi& api, const QString& key)
{
    static const QHash<QString, const char*> names{
        {"mp3", "mp3"},       {"m4a", "mov"}, {"mp4", "mov"},   {"mov", "mov"},   {"mkv", "matroska"},
        {"webm", "matroska"}, {"wav", "wav"}, {"aiff", "aiff"}, {"flac", "flac"}, {"ogg", "ogg"},
        {"opus", "ogg"},      {"wma", "asf"}, {"wmv", "asf"},   {"avi", "avi"},   {"gif", "gif"}};
    const char* name = names.value(key);
    return name ? api.findInputFormat(name) : nullptr;
}
