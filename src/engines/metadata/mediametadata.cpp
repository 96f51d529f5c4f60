#include "engines/metadata/mediametadata.h"

#include "core/catalog.h"
#include "core/job.h"
#include "core/scratchfolder.h"
#include "engines/media/keptstreams.h"
#include "engines/media/media.h"
#include "engines/media/waveheader.h"
#include "engines/metadata/coordinatetext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
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

// ffprobe's JSON for `path` with `show` ("-show_format"); empty when it cannot be had. A
// playlist is refused, as it would lead ffprobe to other files.
QByteArray ffprobeJson(const QString& path, const QString& show, std::optional<std::chrono::seconds> limit)
{
    Media::refuseLists(path);
    return Media::probeJson(path, show, limit);
}

QMap<QString, QString> containerTags(const QString& path)
{
    QMap<QString, QString> tags;
    try {
        const QJsonObject json =
            QJsonDocument::fromJson(ffprobeJson(path, "-show_format", std::chrono::seconds(10)))
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

// The kinds of picture that MP3 and FLAC files name, as ffmpeg spells them.
const QStringList& pictureKinds()
{
    static const QStringList kinds{"Other",
                                   "32x32 pixels 'file icon'",
                                   "Other file icon",
                                   "Cover (front)",
                                   "Cover (back)",
                                   "Leaflet page",
                                   "Media (e.g. label side of CD)",
                                   "Lead artist/lead performer/soloist",
                                   "Artist/performer",
                                   "Conductor",
                                   "Band/Orchestra",
                                   "Composer",
                                   "Lyricist/text writer",
                                   "Recording Location",
                                   "During recording",
                                   "During performance",
                                   "Movie/video screen capture",
                                   "A bright coloured fish",
                                   "Illustration",
                                   "Band/artist logotype",
                                   "Publisher/Studio logotype"};
    return kinds;
}

// The streams of `path` with the names their container gives them; empty when it cannot be read.
QList<MetadataEngine::StripStream> stripStreams(const QString& path)
{
    QList<MetadataEngine::StripStream> out;
    try {
        const QByteArray json = ffprobeJson(path, "-show_streams", std::nullopt);
        QHash<int, QJsonObject> byIndex;
        for (const QJsonValue& v : QJsonDocument::fromJson(json).object().value("streams").toArray())
            byIndex.insert(v.toObject().value("index").toInt(-1), v.toObject());
        for (const Media::Stream& s : Media::parseStreams(json)) {
            const QJsonObject raw = byIndex.value(s.index), tags = raw.value("tags").toObject();
            // ffmpeg names a cover's kind in its comment, where a free text may stand too.
            const QString comment = tags.value("comment").toString();
            out << MetadataEngine::StripStream{s, pictureKinds().contains(comment) ? comment : QString()};
        }
    } catch (const std::exception&) {
        out.clear();
    }
    return out;
}

// `streams` without the text subtitles whose cues hold coordinates, such as a drone's telemetry
// track: a location, each named in a note on `job`. Their text is read in one ffmpeg run through
// files in `folder`.
QList<MetadataEngine::StripStream> withoutLocatedSubtitles(const QString& source,
                                                           QList<MetadataEngine::StripStream> streams,
                                                           const QString& folder, Job& job)
{
    QStringList args{"-i", source};
    for (const MetadataEngine::StripStream& s : streams)
        if (s.kind == Media::Stream::Kind::subtitle && KeptStreams::isText(s.codec))
            args << "-map" << QStringLiteral("0:%1").arg(s.index) << "-c:s"
                 << "srt"
                 << "-f"
                 << "srt" << QDir(folder).filePath(QStringLiteral("cues-%1.srt").arg(s.index));
    if (args.size() == 2) return streams;
    Media::ffmpeg(args, 0, &job, {});
    int ordinal = 0;
    for (auto it = streams.begin(); it != streams.end();) {
        if (it->kind != Media::Stream::Kind::subtitle) {
            ++it;
            continue;
        }
        ++ordinal;
        QFile cues(QDir(folder).filePath(QStringLiteral("cues-%1.srt").arg(it->index)));
        if (!cues.open(QIODevice::ReadOnly) ||
            !CoordinateText::holdsCoordinates(QString::fromUtf8(cues.readAll()))) {
            ++it;
            continue;
        }
        KeptStreams::subtitleLeftOut(job, *it, ordinal, QStringLiteral("they tell where the film was taken"));
        it = streams.erase(it);
    }
    return streams;
}

// The container a result is written in, by its name: "mp4", "mkv", "mp3", …
QString containerOf(const QString& path)
{
    return Catalog::format(path).value_or(QFileInfo(path).suffix().toLower());
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

QStringList editArgs(const QString& source, const QString& destination, const QList<MetaField>& fields,
                     const ToolArgs::Extras& extras)
{
    QStringList args{"-i", source, "-map", "0:V?", "-map", "0:a?", "-c", "copy", "-map_metadata", "0"};
    args << ToolArgs::extraOutputs(extras, 1);
    for (const MetaField& field : fields)
        args << "-metadata" << field.key + QLatin1Char('=') + field.value;
    // A broadcast WAVE file's bext chunk is written again from the tags it was read into.
    if (containerOf(destination) == QLatin1String("wav")) args << WaveHeader::keptBroadcast(source);
    return args << ToolArgs::id3Chunk(containerOf(destination)) << destination;
}

QStringList stripArgs(const QString& source, const QString& destination, const ToolArgs::Extras& extras)
{
    return QStringList{"-i", source, "-map", "0:V?", "-map", "0:a?", "-c", "copy"} +
           ToolArgs::extraOutputs(extras, 1) +
           QStringList{"-map_metadata", "-1", "-map_chapters", "-1", "-fflags", "+bitexact", destination};
}

void writeMedia(const QString& source, const QString& destination, const QList<MetaField>& fields, bool strip,
                Job& job)
{
    const ScratchFolder folder;
    const QString ext = containerOf(destination);
    if (!strip) {
        ToolArgs::Extras extras =
            KeptStreams::copied(source, Media::streams(source), ext, {.everyPicture = true, .id3Chunk = true},
                                folder.path(), job);
        extras.place = Media::keptPlace(source, ext);
        Media::ffmpeg(editArgs(source, destination, fields, extras), 0, &job, {});
        return;
    }
    // Every stream stays but the data tracks and the subtitles that hold a location; the covers
    // are encoded again and keep their kind, and no track keeps a tag but what an attachment
    // can't be written without.
    const QList<StripStream> streams =
        withoutLocatedSubtitles(source, stripStreams(source), folder.path(), job);
    ToolArgs::Extras extras = KeptStreams::copied(
        source, QList<Media::Stream>(streams.begin(), streams.end()), ext,
        {.everyPicture = true, .encodeCovers = true, .keepsTags = false}, folder.path(), job);
    for (ToolArgs::Extras::Copied& c : extras.copied) {
        c.language.clear();
        c.title.clear();
        for (const StripStream& s : streams)
            if (s.index == c.index && c.as == ToolArgs::Extras::Copied::As::cover)
                c.pictureKind = s.pictureKind;
    }
    Media::ffmpeg(stripArgs(source, destination, extras), 0, &job, {});
}

} // namespace MetadataEngine
