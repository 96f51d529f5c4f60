#include "engines/metadata/mediametadata.h"

#include "core/catalog.h"
#include "core/job.h"
#include "core/scratchfolder.h"
#include "engines/media/keptstreams.h"
#include "engines/media/media.h"

#include <QDir>
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

// The container a result is written in, by its name: "mp4", "mkv", "mp3", …
QString containerOf(const QString& path)
{
    return Catalog::format(path).value_or(QFileInfo(path).suffix().toLower());
}

// Whether a cover picture goes into `ext` as an attached picture, without tags.
bool holdsCovers(const QString& ext)
{
    static const QStringList containers{"mp3", "m4a", "flac", "mp4", "mov", "m4v"};
    return containers.contains(ext);
}

// A cover picture encoded again, which leaves its own tags behind: a PNG as a PNG, any other as
// a JPEG of high quality. `at` is the output stream's specifier.
QStringList pictureCodec(const Media::Stream& cover, const QString& at)
{
    if (cover.codec == QLatin1String("png")) return {"-c:" + at, "png"};
    return {"-c:" + at, "mjpeg", "-q:" + at, "2"};
}

// A picture attached to an MKV: the file made for it, its type and the name it goes in under.
struct Attached
{
    QString path, mimeType, name;
};

Attached coverFile(const MetadataEngine::StripStream& cover, const QString& folder)
{
    const bool png = cover.codec == QLatin1String("png");
    const QString path =
        QDir(folder).filePath(QStringLiteral("cover-%1.%2").arg(cover.index).arg(png ? "png" : "jpg"));
    return {path, png ? QStringLiteral("image/png") : QStringLiteral("image/jpeg"),
            cover.fileName.isEmpty() ? QFileInfo(path).fileName() : cover.fileName};
}

// This ffmpeg writes an attached picture into an MKV as a video track, so each cover is written
// on its own first, by `plan.covers` with the picture options `codec`, and attached like a font.
Attached attachedCover(MetadataEngine::StripPlan& plan, const MetadataEngine::StripStream& cover,
                       const QStringList& codec, const QString& folder)
{
    const Attached attached = coverFile(cover, folder);
    plan.covers << QStringList{"-map", QStringLiteral("0:%1").arg(cover.index), "-frames:v", "1"} + codec +
                       QStringList{"-fflags", "+bitexact", "-f", "image2", "-update", "1", attached.path};
    return attached;
}

// The arguments that attach `covers` after the `count` streams an MKV copy has already.
QStringList attachments(const QList<Attached>& covers, int count)
{
    QStringList args;
    for (const Attached& a : covers) {
        const QString tags = QStringLiteral("-metadata:s:%1").arg(count++);
        args << "-attach" << a.path << tags << "mimetype=" + a.mimeType << tags << "filename=" + a.name;
    }
    return args;
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
    return args << destination;
}

StripPlan stripPlan(const QString& source, const QString& destination, const QList<StripStream>& streams,
                    const QString& folder)
{
    const QString ext = containerOf(destination);
    StripPlan plan;
    QStringList maps, options;
    QList<Attached> attached;
    int out = 0, data = 0;
    bool coverLeftOut = false;
    for (const StripStream& s : streams) {
        const QString from = QStringLiteral("0:%1").arg(s.index);
        const QString at = QString::number(out);
        if (s.cover && ext == QLatin1String("mkv")) {
            attached << attachedCover(plan, s, pictureCodec(s, "v"), folder);
            continue;
        }
        if (s.cover && !holdsCovers(ext)) {
            coverLeftOut = true;
            continue;
        }
        if (s.kind == Media::Stream::Kind::other) {
            // A QuickTime chapter track holds the chapter titles, which go with the chapters.
            if (s.codecTag != QLatin1String("text")) ++data;
            continue;
        }
        maps << "-map" << from;
        if (s.cover) options << pictureCodec(s, at) << "-disposition:" + at << "attached_pic";
        if (s.cover && !s.pictureKind.isEmpty()) options << "-metadata:s:" + at << "comment=" + s.pictureKind;
        if (s.kind == Media::Stream::Kind::attachment)
            options << "-metadata:s:" + at
                    << "filename=" + (s.fileName.isEmpty() ? "attachment-" + at : s.fileName)
                    << "-metadata:s:" + at
                    << "mimetype=" +
                           (s.mimeType.isEmpty() ? QStringLiteral("application/octet-stream") : s.mimeType);
        ++out;
    }
    if (!plan.covers.isEmpty()) plan.covers = QStringList{"-i", source} + plan.covers;

    plan.args << "-i" << source << (streams.isEmpty() ? QStringList{"-map", "0"} : maps) << "-c"
              << "copy" << options << attachments(attached, out);
    plan.args << QStringList{"-map_metadata", "-1",        "-map_chapters", "-1",
                             "-fflags",       "+bitexact", destination};

    if (coverLeftOut)
        plan.notes << QStringLiteral("The cover picture was left out: %1 files without tags can’t hold it")
                          .arg(KeptStreams::containerName(ext));
    const QString dataNote = QStringLiteral("left out: such tracks hold timed details, locations among them, "
                                            "that can’t be removed from them");
    if (data == 1) plan.notes << QStringLiteral("A data track was ") + dataNote;
    if (data > 1) plan.notes << QStringLiteral("%1 data tracks were ").arg(data) + dataNote;
    return plan;
}

void writeMedia(const QString& source, const QString& destination, const QList<MetaField>& fields, bool strip,
                Job& job)
{
    const ScratchFolder folder;
    if (!strip) {
        const ToolArgs::Extras extras =
            KeptStreams::copied(source, Media::streams(source), containerOf(destination),
                                {.everyPicture = true}, folder.path(), job);
        Media::ffmpeg(editArgs(source, destination, fields, extras), 0, &job, {});
        return;
    }
    const StripPlan plan = stripPlan(source, destination, stripStreams(source), folder.path());
    if (!plan.covers.isEmpty()) Media::ffmpeg(plan.covers, 0, &job, {});
    Media::ffmpeg(plan.args, 0, &job, {});
    for (const QString& note : plan.notes)
        job.addNote(note);
}

} // namespace MetadataEngine
