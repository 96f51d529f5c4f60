#include "engines/metadata/mediametadata.h"

#include "core/shell.h"
#include "engines/media/media.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <chrono>

namespace {

const QList<MetaField>& mediaTable()
{
    static const QList<MetaField> table{{"title", "Title", {}}, {"artist", "Artist", {}},
                                        {"album", "Album", {}}, {"date", "Year", {}},
                                        {"genre", "Genre", {}}, {"comment", "Comments", {}}};
    return table;
}

QMap<QString, QString> containerTags(const QString& path)
{
    QMap<QString, QString> tags;
    const std::optional<QString> ffprobe = Shell::find(QStringLiteral("ffprobe"));
    if (!ffprobe) return tags;
    try {
        Media::refuseLists(path);
        Shell::Options options;
        options.timeLimit = std::chrono::seconds(10);
        const QStringList args = QStringList{"-v", "error", "-print_format", "json", "-show_format"} +
                                 Media::inputGuard() + QStringList{"-i", path};
        const Shell::Result result = Shell::run(*ffprobe, args, options);
        const QJsonObject json = QJsonDocument::fromJson(result.stdoutBytes)
                                     .object()
                                     .value("format")
                                     .toObject()
                                     .value("tags")
                                     .toObject();
        for (auto it = json.begin(); it != json.end(); ++it)
            tags.insert(it.key().toLower(),
                        it.value().isString() ? it.value().toString() : it.value().toVariant().toString());
    } catch (const std::exception&) {
        tags.clear();
    }
    return tags;
}

} // namespace

namespace MetadataEngine {

QList<MetaField> mediaFields(const QString& path)
{
    const QMap<QString, QString> tags = containerTags(path);
    QList<MetaField> fields = mediaTable();
    for (MetaField& field : fields)
        field.value = tags.value(field.key);
    return fields;
}

QStringList mediaArgs(const QString& source, const QString& destination, const QList<MetaField>& fields,
                      bool strip)
{
    QStringList args{"-i", source};
    if (strip) {
        args << QStringList{"-map",          "0:V?", "-map",          "0:a?", "-c",      "copy",
                            "-map_metadata", "-1",   "-map_chapters", "-1",   "-fflags", "+bitexact"};
    } else {
        args << QStringList{"-map", "0", "-c", "copy", "-map_metadata", "0"};
        for (const MetaField& field : fields)
            args << "-metadata" << field.key + QLatin1Char('=') + field.value;
    }
    args << destination;
    return args;
}

void writeMedia(const QString& source, const QString& destination, const QList<MetaField>& fields, bool strip,
                Job& job)
{
    Media::ffmpeg(mediaArgs(source, destination, fields, strip), 0, &job, {});
}

} // namespace MetadataEngine
