#include "engines/media/mediastreams.h"

#include "core/converterror.h"
#include "core/shell.h"
#include "engines/media/libav.h"
#include "engines/media/media.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

namespace {

Media::Stream::Kind kindOf(const QString& type)
{
    using Kind = Media::Stream::Kind;
    if (type == QLatin1String("video")) return Kind::video;
    if (type == QLatin1String("audio")) return Kind::audio;
    if (type == QLatin1String("subtitle")) return Kind::subtitle;
    if (type == QLatin1String("attachment")) return Kind::attachment;
    return Kind::other;
}

} // namespace

namespace Media {

QList<Stream> parseStreams(const QByteArray& json)
{
    QList<Stream> out;
    const QJsonDocument doc = QJsonDocument::fromJson(json);
    for (const QJsonValue& item : doc.object().value(QLatin1String("streams")).toArray()) {
        const QJsonObject s = item.toObject();
        const QJsonValue index = s.value(QLatin1String("index"));
        if (!index.isDouble()) continue;
        const QJsonObject tags = s.value(QLatin1String("tags")).toObject();
        Stream stream;
        stream.index = index.toInt();
        stream.kind = kindOf(s.value(QLatin1String("codec_type")).toString());
        stream.codec = s.value(QLatin1String("codec_name")).toString();
        stream.language = tags.value(QLatin1String("language")).toString();
        if (stream.language == QLatin1String("und")) stream.language.clear();
        stream.title = tags.value(QLatin1String("title")).toString();
        const QJsonObject disposition = s.value(QLatin1String("disposition")).toObject();
        stream.cover = disposition.value(QLatin1String("attached_pic")) == QJsonValue(1);
        stream.isDefault = disposition.value(QLatin1String("default")) == QJsonValue(1);
        stream.forced = disposition.value(QLatin1String("forced")) == QJsonValue(1);
        stream.sampleRate = s.value(QLatin1String("sample_rate")).toString().toInt();
        // ffprobe prints the raw bits as text, "N/A" when unknown, and the coded bits as a number.
        stream.bits = s.value(QLatin1String("bits_per_raw_sample")).toString().toInt();
        if (stream.bits <= 0 && stream.kind == Stream::Kind::audio)
            stream.bits = s.value(QLatin1String("bits_per_sample")).toInt();
        stream.codecTag = s.value(QLatin1String("codec_tag_string")).toString();
        stream.fileName = tags.value(QLatin1String("filename")).toString();
        stream.mimeType = tags.value(QLatin1String("mimetype")).toString();
        // QuickTime names it "timecode", Matroska "TIMECODE".
        for (auto t = tags.begin(); t != tags.end(); ++t)
            if (t.key().compare(QLatin1String("timecode"), Qt::CaseInsensitive) == 0)
                stream.timecode = t.value().toString();
        out << stream;
    }
    return out;
}

QList<Stream> streams(const QString& path)
{
    if (const auto reading = LibAv::read(path)) return reading->streams;
    return parseStreams(probeJson(path, QStringLiteral("-show_streams")));
}

QByteArray probeJson(const QString& path, const QString& show, std::optional<std::chrono::milliseconds> limit)
{
    const auto ffprobe = Shell::find(QStringLiteral("ffprobe"));
    if (!ffprobe) return {};
    Shell::Options options;
    options.timeLimit = limit;
    try {
        return Shell::run(*ffprobe,
                          QStringList{QStringLiteral("-v"), QStringLiteral("error"),
                                      QStringLiteral("-print_format"), QStringLiteral("json"), show} +
                              inputGuard() + QStringList{path},
                          options)
            .stdoutBytes;
    } catch (const ConvertError&) {
        return {};
    }
}

QList<Stream> streamsOf(const QList<Stream>& all, Stream::Kind kind)
{
    QList<Stream> out;
    for (const Stream& s : all)
        if (s.kind == kind && !s.cover) out << s;
    return out;
}

QString streamName(const Stream& stream, int ordinal)
{
    if (!stream.title.isEmpty()) return stream.title;
    if (!stream.language.isEmpty()) {
        const QLocale::Language l = QLocale::codeToLanguage(stream.language, QLocale::ISO639Part2);
        if (l != QLocale::AnyLanguage && l != QLocale::C) return QLocale::languageToString(l);
        return stream.language;
    }
    return QStringLiteral("number %1").arg(ordinal);
}

} // namespace Media
