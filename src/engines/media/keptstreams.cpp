#include "engines/media/keptstreams.h"

#include "core/converterror.h"
#include "core/job.h"
#include "engines/media/assscript.h"
#include "engines/media/timecode.h"
#include "engines/media/toolrun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSet>
#include <algorithm>
#include <stdexcept>

namespace {

bool isMovie(const QString& ext)
{
    return ext == QLatin1String("mp4") || ext == QLatin1String("mov") || ext == QLatin1String("m4v");
}

const QStringList pictureSubtitles{QStringLiteral("dvd_subtitle"), QStringLiteral("hdmv_pgs_subtitle"),
                                   QStringLiteral("dvb_subtitle"), QStringLiteral("xsub")};

QString cantHold(const QString& ext)
{
    return QStringLiteral("%1 files can’t hold them").arg(KeptStreams::containerName(ext));
}

QString fileIn(const QString& folder, const QString& name)
{
    // A caller that made no folder must not send a file to the working folder instead.
    if (folder.isEmpty()) throw std::logic_error("no folder to take a stream out into");
    return QDir(folder).filePath(name);
}

bool isAss(const QString& codec)
{
    return codec == QLatin1String("ass") || codec == QLatin1String("ssa");
}

// An ASS track that goes into `ext` as plain text loses what makes it ASS: the note says so.
void stylesLost(Job& job, const Media::Stream& stream, int ordinal, const QString& ext)
{
    job.addNote(
        QStringLiteral("The subtitles “%1” lost their styles and positions: %2 files hold only plain text")
            .arg(Media::streamName(stream, ordinal), KeptStreams::containerName(ext)));
}

// The languages a QuickTime file written by ffmpeg names, each by the code ffmpeg takes for it
// (KeptStreams::language()): those of the Macintosh table. ffmpeg writes a track of any other
// language without one.
bool quickTimeNames(const QString& code)
{
    static const QSet<QString> named{
        "alb", "amh", "ara", "arm", "asm", "aym", "aze", "baq", "bel", "ben", "bul", "bur", "cat", "ces",
        "chi", "dan", "dut", "dzo", "eng", "epo", "est", "fin", "fra", "geo", "ger", "gre", "grn", "guj",
        "heb", "hin", "hun", "ice", "ind", "ita", "jav", "jpn", "kan", "kas", "kaz", "khm", "kin", "kir",
        "kor", "kur", "lao", "lat", "lav", "lit", "mac", "mal", "mar", "may", "mlg", "mlt", "mon", "nep",
        "nor", "nya", "ori", "orm", "per", "pol", "por", "pus", "que", "ron", "run", "rus", "san", "sin",
        "slk", "slv", "smi", "snd", "som", "spa", "swa", "tam", "tat", "tel", "tgk", "tgl", "tha", "tib",
        "tir", "tuk", "tur", "uig", "ukr", "urd", "uzb", "vie", "wel", "yid"};
    return named.contains(code);
}

// A track of `stream` that goes into `ext` without its language, which the container can't name,
// is named in a note that begins with `lost` ("The subtitles “%1” lost their language").
void languageLost(Job& job, const QString& lost, const Media::Stream& stream, int ordinal, const QString& ext)
{
    if (ext != QLatin1String("mov") || stream.language.isEmpty() ||
        quickTimeNames(KeptStreams::language(stream.language, ext)))
        return;
    const QLocale::Language l = QLocale::codeToLanguage(stream.language, QLocale::ISO639Part2);
    const QString name =
        l != QLocale::AnyLanguage && l != QLocale::C ? QLocale::languageToString(l) : stream.language;
    job.addNote(lost.arg(Media::streamName(stream, ordinal)) +
                QStringLiteral(": %1 files can’t name %2").arg(KeptStreams::containerName(ext), name));
}

// A cover picture encoded again, which leaves its own tags (a camera's Exif, a location) behind: a
// PNG as a PNG, any other as a JPEG of high quality.
QString coverEncoder(const Media::Stream& cover)
{
    return cover.codec == QLatin1String("png") ? QStringLiteral("png") : QStringLiteral("mjpeg");
}

// This ffmpeg writes a picture stream into an MKV as a video track, never as the attachment an
// MKV's cover is: each cover is taken out into `folder` in one run (its own bytes, or encoded
// again when `encode`), to be attached like a font.
QList<ToolArgs::Extras::Attached> attachedCovers(const QString& source, const QList<Media::Stream>& covers,
                                                 bool encode, const QString& folder, Job& job)
{
    QList<ToolArgs::Extras::Attached> attached;
    if (covers.isEmpty()) return attached;
    QStringList args{QStringLiteral("-i"), source};
    for (const Media::Stream& c : covers) {
        const bool png = c.codec == QLatin1String("png");
        const QString path =
            fileIn(folder, QStringLiteral("cover-%1.%2").arg(c.index).arg(png ? "png" : "jpg"));
        const QString mime = !c.mimeType.isEmpty() ? c.mimeType
                             : png                 ? QStringLiteral("image/png")
                                                   : QStringLiteral("image/jpeg");
        attached << ToolArgs::Extras::Attached{
            path, mime, c.fileName.isEmpty() ? QFileInfo(path).fileName() : c.fileName};
        args << QStringLiteral("-map") << QStringLiteral("0:%1").arg(c.index) << QStringLiteral("-frames:v")
             << QStringLiteral("1") << QStringLiteral("-c:v")
             << (encode ? coverEncoder(c) : QStringLiteral("copy"));
        if (encode && !png) args << QStringLiteral("-q:v") << QStringLiteral("2");
        args << QStringLiteral("-fflags") << QStringLiteral("+bitexact") << QStringLiteral("-f")
             << QStringLiteral("image2") << QStringLiteral("-update") << QStringLiteral("1") << path;
    }
    ToolRun::ffmpeg(args, 0, job, {});
    return attached;
}

// The note on the data tracks a result leaves out; `tagless` for a result that keeps no tags.
QString dataTracksLeftOut(int count, bool tagless, const QString& ext)
{
    const QString what =
        count == 1 ? QStringLiteral("A data track was") : QStringLiteral("%1 data tracks were").arg(count);
    const QString why = tagless ? QStringLiteral("such tracks hold timed details, locations among them, that "
                                                 "can’t be removed from them")
                                : QStringLiteral("such tracks can’t be copied into %1 files")
                                      .arg(KeptStreams::containerName(ext));
    return what + QStringLiteral(" left out: ") + why;
}

} // namespace

namespace KeptStreams {

bool isText(const QString& codec)
{
    static const QStringList text{QStringLiteral("subrip"), QStringLiteral("srt"),
                                  QStringLiteral("ass"),    QStringLiteral("ssa"),
                                  QStringLiteral("webvtt"), QStringLiteral("mov_text"),
                                  QStringLiteral("text"),   QStringLiteral("microdvd")};
    return text.contains(codec);
}

std::optional<QString> subtitleEncoder(const QString& codec, const QString& ext)
{
    const QString copy = QStringLiteral("copy");
    if (ext == QLatin1String("mkv")) {
        if (pictureSubtitles.contains(codec) && codec != QLatin1String("xsub")) return copy;
        if (QStringList{"subrip", "ass", "ssa", "webvtt"}.contains(codec)) return copy;
        if (isText(codec)) return QStringLiteral("srt");
        return std::nullopt;
    }
    if (isMovie(ext)) {
        if (codec == QLatin1String("mov_text")) return copy;
        if (isText(codec)) return QStringLiteral("mov_text");
        return std::nullopt;
    }
    if (ext == QLatin1String("webm")) {
        if (codec == QLatin1String("webvtt")) return copy;
        if (isText(codec)) return QStringLiteral("webvtt");
        return std::nullopt;
    }
    return std::nullopt;
}

QString language(const QString& code, const QString& ext)
{
    if (ext != QLatin1String("mov")) return code;
    // A QuickTime file stores a language as its number in the Macintosh table, which names each
    // language by one of its two ISO 639-2 codes; ffmpeg leaves out a language it is handed by
    // the other.
    static const QHash<QString, QString> macintosh{
        {"sqi", "alb"}, {"hye", "arm"}, {"eus", "baq"}, {"mya", "bur"}, {"zho", "chi"},
        {"cze", "ces"}, {"nld", "dut"}, {"fre", "fra"}, {"kat", "geo"}, {"deu", "ger"},
        {"ell", "gre"}, {"isl", "ice"}, {"mkd", "mac"}, {"msa", "may"}, {"fas", "per"},
        {"rum", "ron"}, {"slo", "slk"}, {"bod", "tib"}, {"cym", "wel"}};
    return macintosh.value(code, code);
}

QString containerName(const QString& ext)
{
    if (ext == QLatin1String("mov")) return QStringLiteral("QuickTime");
    if (ext == QLatin1String("webm")) return QStringLiteral("WebM");
    return ext.toUpper();
}

void subtitleLeftOut(Job& job, const Media::Stream& stream, int ordinal, const QString& reason)
{
    job.addNote(QStringLiteral("The subtitles “%1”%2 were left out: %3")
                    .arg(Media::streamName(stream, ordinal),
                         isText(stream.codec) ? QString() : QStringLiteral(" (picture subtitles)"), reason));
}

bool holdsCovers(const QString& ext, const Carry& carry)
{
    return (isMovie(ext) && ext != QLatin1String("mov")) || ToolArgs::carriesCovers(ext) ||
           (carry.id3Chunk && ext == QLatin1String("aiff"));
}

ToolArgs::Extras copied(const QString& source, const QList<Media::Stream>& streams, const QString& ext,
                        const Carry& carry, const QString& folder, Job& job)
{
    using As = ToolArgs::Extras::Copied::As;
    ToolArgs::Extras extras;
    QList<Media::Stream> toAttach;
    int subtitle = 0, picture = 0, attachment = 0, data = 0, sound = 0;
    bool coverLeftOut = false;
    const bool sameKind = QFileInfo(source).suffix().toLower() == ext;
    for (const Media::Stream& s : streams) {
        switch (s.kind) {
        case Media::Stream::Kind::audio:
            // The operation maps and tags every sound track itself.
            ++sound;
            if (carry.sound && carry.keepsTags)
                languageLost(job, QStringLiteral("The sound track “%1” lost its language"), s, sound, ext);
            break;
        case Media::Stream::Kind::video:
            if (s.cover) {
                if (!carry.covers) break;
                const QString encoder = carry.encodeCovers ? coverEncoder(s) : QStringLiteral("copy");
                if (holdsCovers(ext, carry))
                    extras.copied << ToolArgs::Extras::Copied{s.index, encoder, As::cover, {}, {}};
                else if (ext == QLatin1String("mkv"))
                    toAttach << s;
                else // ffmpeg writes a QuickTime file without the cover it is handed, and says nothing
                    coverLeftOut = true;
            } else if (!carry.picture) {
                job.addNote(QStringLiteral("The picture track “%1” was left out: the result holds sound only")
                                .arg(Media::streamName(s, ++picture)));
            } else if (++picture > 1 && !carry.everyPicture) {
                job.addNote(QStringLiteral("The picture track “%1” was left out: only the first one is kept")
                                .arg(Media::streamName(s, picture)));
            }
            break;
        case Media::Stream::Kind::subtitle:
            ++subtitle;
            if (!carry.subtitles) break;
            // A copy into the source's own kind of file holds what the source held.
            if (const auto encoder = sameKind ? std::optional<QString>(QStringLiteral("copy"))
                                              : subtitleEncoder(s.codec, ext)) {
                extras.copied << ToolArgs::Extras::Copied{s.index, *encoder, As::subtitle,
                                                          language(s.language, ext), s.title};
                if (isAss(s.codec) && *encoder != QLatin1String("copy")) stylesLost(job, s, subtitle, ext);
                if (carry.keepsTags)
                    languageLost(job, QStringLiteral("The subtitles “%1” lost their language"), s, subtitle,
                                 ext);
            } else {
                subtitleLeftOut(job, s, subtitle, cantHold(ext));
            }
            break;
        case Media::Stream::Kind::attachment:
            // An MKV can't be written without an attachment's file name and type.
            ++attachment;
            if (ext == QLatin1String("mkv"))
                extras.copied << ToolArgs::Extras::Copied{
                    s.index,
                    QStringLiteral("copy"),
                    As::attachment,
                    {},
                    {},
                    s.fileName.isEmpty() ? QStringLiteral("attachment-%1").arg(attachment) : s.fileName,
                    s.mimeType.isEmpty() ? QStringLiteral("application/octet-stream") : s.mimeType};
            else
                attachmentLeftOut(job, s, attachment, ext);
            break;
        case Media::Stream::Kind::other:
            // A QuickTime chapter track holds the chapters' titles, which go with the chapters; a
            // timecode track is written again from the picture's timecode tag, where tags are kept.
            if (s.codecTag == QLatin1String("text")) break;
            if (s.codecTag == QLatin1String("tmcd") && carry.keepsTags) break;
            ++data;
            break;
        }
    }
    if (coverLeftOut)
        job.addNote(QStringLiteral("The cover picture was left out: %1 files %2 can’t hold it")
                        .arg(containerName(ext), carry.keepsTags ? QStringLiteral("written here")
                                                                 : QStringLiteral("without tags")));
    if (data > 0) job.addNote(dataTracksLeftOut(data, !carry.keepsTags, ext));
    if (carry.keepsTags && carry.picture && Timecode::of(streams) && !Timecode::heldBy(ext))
        job.addNote(
            QStringLiteral("The timecode was left out: %1 files can’t hold it").arg(containerName(ext)));
    if (carry.coverApart && std::any_of(extras.copied.begin(), extras.copied.end(),
                                        [](const auto& c) { return c.as == As::cover; }))
        extras.coverSource = source;
    if (carry.everyPicture) extras.pictures = picture;
    if (!carry.picture) extras.pictures = 0;
    extras.attached = attachedCovers(source, toAttach, carry.encodeCovers, folder, job);
    return extras;
}

QList<TextTrack> readText(const QString& source, const QList<Media::Stream>& streams, const QString& ext,
                          const QString& pictureReason, const QString& folder, Job& job)
{
    QList<TextTrack> tracks;
    QStringList args{QStringLiteral("-i"), source};
    int ordinal = 0;
    for (const Media::Stream& s : streams) {
        if (s.kind != Media::Stream::Kind::subtitle) continue;
        ++ordinal;
        const auto into = subtitleEncoder(s.codec, ext);
        if (!into) {
            subtitleLeftOut(job, s, ordinal, cantHold(ext));
        } else if (!isText(s.codec)) {
            subtitleLeftOut(job, s, ordinal, pictureReason);
        } else {
            // An ASS track stays one where the result holds it as it is. Retimed cues are written
            // anew, so any other track that could be copied is encoded instead.
            const bool asAss = isAss(s.codec) && *into == QLatin1String("copy");
            if (isAss(s.codec) && !asAss) stylesLost(job, s, ordinal, ext);
            const QString encoder = asAss                            ? QStringLiteral("ass")
                                    : *into != QLatin1String("copy") ? *into
                                    : ext == QLatin1String("mkv")    ? QStringLiteral("srt")
                                    : ext == QLatin1String("webm")   ? QStringLiteral("webvtt")
                                                                     : QStringLiteral("mov_text");
            const QString form = asAss ? QStringLiteral("ass") : QStringLiteral("srt");
            languageLost(job, QStringLiteral("The subtitles “%1” lost their language"), s, ordinal, ext);
            tracks << TextTrack{s, encoder, {}};
            args << QStringLiteral("-map") << QStringLiteral("0:%1").arg(s.index) << QStringLiteral("-c:s")
                 << form << QStringLiteral("-f") << form
                 << fileIn(folder, QStringLiteral("read-%1.%2").arg(s.index).arg(form));
        }
    }
    if (tracks.isEmpty()) return tracks;
    ToolRun::ffmpeg(args, 0, job, {});
    for (TextTrack& t : tracks) {
        const bool ass = t.encoder == QLatin1String("ass");
        QFile file(fileIn(folder, QStringLiteral("read-%1.%2").arg(t.stream.index).arg(ass ? "ass" : "srt")));
        if (!file.open(QIODevice::ReadOnly))
            throw ConvertError::failed(QStringLiteral("The subtitles of %1 could not be read: %2")
                                           .arg(ToolRun::fileName(source), file.errorString()));
        const QString text = QString::fromUtf8(file.readAll());
        if (ass) {
            AssScript::Script script = AssScript::parse(text, AssScript::Source::Ffmpeg);
            if (script.header.isEmpty())
                throw ConvertError::failed(QStringLiteral("The styled subtitles of %1 could not be read")
                                               .arg(ToolRun::fileName(source)));
            t.assHeader = script.header;
            t.cues = script.events;
        } else {
            t.cues = SubtitleCues::parse(text);
        }
    }
    return tracks;
}

QList<SubtitleCues::Cue> cut(const TextTrack& track, double from, double to, double shortest)
{
    return track.assHeader.isEmpty() ? SubtitleCues::cut(track.cues, from, to, shortest)
                                     : AssScript::cut({track.assHeader, track.cues}, from, to, shortest);
}

QList<SubtitleCues::Cue> scaled(const TextTrack& track, double speed)
{
    return track.assHeader.isEmpty() ? SubtitleCues::scaled(track.cues, speed)
                                     : AssScript::scaled({track.assHeader, track.cues}, speed);
}

ToolArgs::Extras written(const QList<TextTrack>& tracks,
                         const std::function<QList<SubtitleCues::Cue>(const TextTrack&)>& retime,
                         const QString& folder, const QString& name)
{
    ToolArgs::Extras extras;
    for (int k = 0; k < tracks.size(); ++k) {
        const TextTrack& t = tracks[k];
        const bool ass = !t.assHeader.isEmpty();
        const QString path =
            fileIn(folder, QStringLiteral("%1-%2.%3").arg(name).arg(k).arg(ass ? "ass" : "srt"));
        QFile file(path);
        const QByteArray text =
            (ass ? AssScript::write({t.assHeader, retime(t)}) : SubtitleCues::write(retime(t))).toUtf8();
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.flush())
            throw ConvertError::failed(
                QStringLiteral("The subtitles could not be written to a temporary file: %1")
                    .arg(file.errorString()));
        extras.tracks << ToolArgs::Extras::Track{path,           t.encoder, t.stream.language,
                                                 t.stream.title, 0,         dispositions(t.stream)};
    }
    return extras;
}

void attachmentLeftOut(Job& job, const Media::Stream& stream, int ordinal, const QString& ext)
{
    job.addNote(
        QStringLiteral("The attached file “%1” was left out: %2 files can’t hold it")
            .arg(stream.fileName.isEmpty() ? QStringLiteral("number %1").arg(ordinal) : stream.fileName,
                 containerName(ext)));
}

QString dispositions(const Media::Stream& stream)
{
    QStringList flags;
    if (stream.isDefault) flags << QStringLiteral("default");
    if (stream.forced) flags << QStringLiteral("forced");
    return flags.join(QLatin1Char('+'));
}

} // namespace KeptStreams
