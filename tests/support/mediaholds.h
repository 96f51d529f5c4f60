#pragma once

// What each container holds as ffmpeg writes it, and the media judge's complaints about a
// result's streams beside its first picture and its sound, its chapters, timecode and tags: each
// thing the sources had is there in its kind, codec, disposition and tags where the result's
// container holds it, else named in a note of the job.

#include "mediasource.h"

#include <QDateTime>

namespace Judge {

struct Holds
{
    QString subtitles;   // the codec text subtitles take ("keep": as they are); empty: none
    bool covers = false; // cover pictures
    bool attachments = false;
    bool chapters = false;
    bool timecode = false;
    bool manySounds = true;  // more than one sound track
    bool language = false;   // a track's language
    bool trackTitle = false; // a track's title
    bool forced = false;     // the subtitles' default and forced marks
    QStringList tags{"title", "artist", "comment"};
};

inline Holds holds(const QString& ext)
{
    const bool movie = ext == "mp4" || ext == "mov", matroska = ext == "mkv" || ext == "webm";
    Holds h;
    h.subtitles = movie ? "mov_text" : ext == "mkv" ? "keep" : ext == "webm" ? "webvtt" : "";
    // An AIFF is written with an ID3 chunk, which holds the covers, the chapters and every tag.
    h.covers = QStringList{"mp4", "mkv", "mp3", "m4a", "flac", "aiff"}.contains(ext);
    h.attachments = ext == "mkv";
    h.chapters = movie || matroska || QStringList{"wmv", "mp3", "m4a", "opus", "wma", "aiff"}.contains(ext);
    h.timecode = movie || matroska;
    h.manySounds = movie || matroska || ext == "avi" || ext == "wmv";
    h.language = movie || matroska || ext == "wmv";
    h.trackTitle = h.forced = matroska;
    // When and where a film was taken.
    if (movie || matroska)
        h.tags << "creation_time"
               << "location";
    if (ext == "gif") h.tags.clear();
    return h;
}

// The codec a text subtitle track of `codec` has in a result that holds subtitles as `into`.
inline QString subtitleCodec(const QString& codec, const QString& into)
{
    if (into != "keep") return into;
    return QStringList{"subrip", "ass", "ssa", "webvtt"}.contains(codec) ? codec : "subrip";
}

// "01:02:03:04" moved on by `frames` at `rate` frames a second.
inline QString timecodePlus(const QString& timecode, int frames, int rate)
{
    const QStringList f = timecode.split(QRegularExpression("[:;]"));
    if (f.size() != 4 || rate <= 0) return timecode;
    int total = ((f[0].toInt() * 60 + f[1].toInt()) * 60 + f[2].toInt()) * rate + f[3].toInt() + frames;
    const int ff = total % rate;
    total /= rate;
    return QString::asprintf("%02d:%02d:%02d:%02d", total / 3600, total / 60 % 60, total % 60, ff);
}

// A chapter of a reading, from the file's start.
struct Chapter
{
    double start = 0, end = 0;
    QString title;
};

inline QList<Chapter> chapters(const Reading& r)
{
    QList<Chapter> out;
    for (const QJsonValue& v : r.probe["chapters"].toArray()) {
        const QJsonObject c = v.toObject();
        out << Chapter{c["start_time"].toString().toDouble() - r.start,
                       c["end_time"].toString().toDouble() - r.start,
                       c["tags"].toObject()["title"].toString()};
    }
    return out;
}

// A stream's tag; a language by its ISO 639-2/T code, which names it as its /B code does.
inline QString named(const QJsonObject& stream, const QString& tag)
{
    const QString value = stream["tags"].toObject()[tag].toString();
    if (tag != "language") return value;
    static const QMap<QString, QString> terminology{{"ger", "deu"}, {"fre", "fra"}, {"dut", "nld"},
                                                    {"chi", "zho"}, {"cze", "ces"}, {"gre", "ell"}};
    return value == "und" ? QString() : terminology.value(value, value);
}

// The complaints about the subtitles of a result made of one piece: each track of the source in
// the codec, with the marks and tags, that the container holds, its cues where the picture is.
inline QStringList judgeSubtitles(const Reading& result, const Expected& e, const QStringList& notes,
                                  double base, double zero)
{
    const Holds h = holds(e.ext);
    QStringList c;
    QList<QJsonObject> wanted = e.pieces.first().source->reading.streams("subtitle");
    for (const Piece& p : e.pieces)
        if (p.source->reading.streams("subtitle").size() < wanted.size()) wanted.clear(); // not every clip's
    const qsizetype before = e.pieces.first().source->reading.streams("subtitle").size();
    const QList<QJsonObject> got = result.streams("subtitle");
    if (got.size() < before && !noted(notes, "subtitles"))
        c << QStringLiteral("it leaves out %1 subtitle tracks without a note").arg(before - got.size());
    if (h.subtitles.isEmpty() || !e.picture) return c;
    if (got.size() != wanted.size())
        return c << QStringLiteral("it has %1 subtitle tracks instead of %2")
                        .arg(got.size())
                        .arg(wanted.size());
    const Piece& p = e.pieces.first();
    for (qsizetype k = 0; k < got.size(); ++k) {
        const QJsonObject& from = wanted[k];
        const QString name = QStringLiteral("its subtitles %1").arg(k + 1);
        const QString codec = subtitleCodec(from["codec_name"].toString(), h.subtitles);
        if (got[k]["codec_name"].toString() != codec)
            c << QStringLiteral("%1 are %2 instead of %3").arg(name, got[k]["codec_name"].toString(), codec);
        for (const QString& tag :
             h.trackTitle&& e.tagsKept ? QStringList{"language", "title"} : QStringList{"language"})
            if (named(got[k], tag) != named(from, tag))
                c << QStringLiteral("%1 have the %2 “%3” instead of “%4”")
                         .arg(name, tag, named(got[k], tag), named(from, tag));
        if (h.forced)
            for (const char* mark : {"default", "forced"})
                if (got[k]["disposition"].toObject()[mark].toInt() !=
                    from["disposition"].toObject()[mark].toInt())
                    c << QStringLiteral("%1 lost or gained the mark “%2”").arg(name, QLatin1String(mark));
        if (e.pieces.size() > 1) continue;
        // Each cue of the range, cut to it, where the picture shows its moment.
        QList<Cue> cues;
        for (const Cue& cue : p.source->reading.cues(from["index"].toInt())) {
            const double a = std::max(cue.start, base), b = std::min(cue.end, p.end());
            if (b - a >= p.source->frame - 0.002) cues << Cue{(a - base) / p.speed, (b - base) / p.speed};
        }
        const QList<Cue> made = result.cues(got[k]["index"].toInt());
        if (made.size() != cues.size()) {
            c << QStringLiteral("%1 hold %2 cues instead of %3").arg(name).arg(made.size()).arg(cues.size());
            continue;
        }
        const double slack = p.source->frame / p.speed + 0.01;
        for (qsizetype i = 0; i < cues.size(); ++i)
            if (std::abs(made[i].start - zero - cues[i].start) > slack ||
                std::abs(made[i].end - zero - cues[i].end) > slack) {
                c << QStringLiteral("%1 show cue %2 at %3–%4 instead of %5–%6")
                         .arg(name)
                         .arg(i + 1)
                         .arg(s(made[i].start - zero), s(made[i].end - zero), s(cues[i].start),
                              s(cues[i].end));
                break;
            }
    }
    return c;
}

// The complaints about the chapters: those of the range, each placed for the result's first
// picture, where the container holds them; else a note.
inline QStringList judgeChapters(const Reading& result, const Expected& e, const QStringList& notes,
                                 double base, double zero)
{
    const Timeline timeline(e, base);
    QList<Chapter> wanted;
    for (qsizetype i = 0; i < e.pieces.size(); ++i) {
        const Piece& p = e.pieces[i];
        const double origin = timeline.origins[i];
        for (const Chapter& ch : chapters(p.source->reading))
            if (ch.end > origin + 0.01 && ch.start < p.end() - 0.01)
                wanted << Chapter{zero + timeline.starts[i] + std::max(0.0, ch.start - origin) / p.speed, 0,
                                  ch.title};
    }
    if (wanted.isEmpty()) return {};
    // A FLAC holds a cue sheet's chapters, which a tool gives back; a conversion writes no cue sheet.
    if (!holds(e.ext).chapters && !(e.stored && e.ext == "flac"))
        return noted(notes, "chapter") ? QStringList{}
                                       : QStringList{"it leaves out the chapters without a note"};
    const QList<Chapter> got = chapters(result);
    if (got.size() != wanted.size())
        return {QStringLiteral("it has %1 chapters instead of %2").arg(got.size()).arg(wanted.size())};
    // Within a frame, or the 0.05 s by which a container moves everything for a sound encoder.
    const double slack = std::max(e.pieces.first().source->frame / e.pieces.first().speed, 0.05) + 0.005;
    for (qsizetype i = 0; i < got.size(); ++i) {
        // The chapter that opens the result may begin at its very start, before its first picture.
        const bool opens = wanted[i].start <= zero + 0.001 && got[i].start <= zero + slack;
        if (got[i].title != wanted[i].title || (!opens && std::abs(got[i].start - wanted[i].start) > slack))
            return {
                QStringLiteral("its chapter “%1” starts at %2 instead of “%3” at %4")
                    .arg(got[i].title, s(got[i].start - zero), wanted[i].title, s(wanted[i].start - zero))};
    }
    return {};
}

// The complaints about the timecode: the source's, moved on to the result's first picture.
inline QString judgeTimecode(const Reading& result, const Expected& e, const QStringList& notes, double base)
{
    const Source& src = *e.pieces.first().source;
    const QString from = src.reading.timecode();
    if (from.isEmpty()) return {};
    if (!holds(e.ext).timecode || !e.tagsKept)
        return noted(notes, "timecode") ? QString()
                                        : QStringLiteral("it leaves out the timecode without a note");
    const QStringList rate = src.reading.streams("video").value(0)["r_frame_rate"].toString().split('/');
    const double fps =
        rate.size() == 2 && rate[1].toDouble() > 0 ? rate[0].toDouble() / rate[1].toDouble() : 25;
    // The timecode of the picture shown at the start asked for, or of the one the result shows first.
    QStringList wanted;
    for (double at : {src.shownAt(e.pieces.first().from).value_or(Frame{}).at, base})
        wanted << timecodePlus(from, qRound((at - src.frames.value(0).at) * fps), qRound(fps));
    const QString got = result.timecode();
    if (got.isEmpty() && noted(notes, "timecode")) return {};
    return wanted.contains(got)
               ? QString()
               : QStringLiteral("its timecode is “%1” instead of “%2”").arg(got, wanted.first());
}

// Whether two values of a tag say the same: a location (ISO 6709: "+48.8584+002.2945+035.000/")
// by its numbers, which an MP4 file keeps in a box of its own and gives back written otherwise.
inline bool sameTag(const QString& tag, const QString& a, const QString& b)
{
    // QuickTime holds the moment a film was taken to the second.
    if (tag == "creation_time")
        return QDateTime::fromString(a, Qt::ISODateWithMs).toSecsSinceEpoch() ==
               QDateTime::fromString(b, Qt::ISODateWithMs).toSecsSinceEpoch();
    if (tag != "location" || a == b) return a == b;
    static const QRegularExpression number(R"([+-]\d+(?:\.\d*)?)");
    QList<double> x, y;
    for (auto [text, out] : {std::pair{&a, &x}, std::pair{&b, &y}})
        for (auto it = number.globalMatch(*text); it.hasNext();)
            *out << it.next().captured().toDouble();
    if (x.size() != y.size() || x.size() < 2) return false;
    for (qsizetype i = 0; i < x.size(); ++i)
        if (std::abs(x[i] - y[i]) > 0.0001) return false;
    return true;
}

// The depth of a stream's samples where it is stored sample by sample (PCM) or losslessly; 0 for
// lossy sound.
inline int depth(const QJsonObject& sound)
{
    const QString codec = sound["codec_name"].toString();
    if (!codec.startsWith("pcm_") && codec != "flac" && codec != "alac") return 0;
    const int raw = sound["bits_per_raw_sample"].toString().toInt();
    return raw > 0 ? raw : sound["bits_per_sample"].toInt();
}

// The complaints about how a sound tool's result stores its sound against its source's: its
// sample rate, its kind and depth of samples, its channels; and about a result of a broadcast
// WAVE file: its bext chunk in a WAVE file, its time reference moved to where a cut begins.
inline QStringList judgeStored(const Reading& result, const Expected& e, const QStringList& notes)
{
    const Piece& p = e.pieces.first();
    const Reading& src = p.source->reading;
    const QJsonObject from = src.streams("audio").value(0), to = result.streams("audio").value(0);
    QStringList c;
    if (e.stored && to["sample_rate"] != from["sample_rate"])
        c << QStringLiteral("its sound is at %1 Hz instead of %2 Hz")
                 .arg(to["sample_rate"].toString(), from["sample_rate"].toString());
    const bool pcm = from["codec_name"].toString().startsWith("pcm_");
    if (e.stored && (depth(to) != depth(from) || (pcm && to["codec_name"] != from["codec_name"])))
        c << QStringLiteral("its sound is stored as %1 at %2 bits instead of %3 at %4 bits")
                 .arg(to["codec_name"].toString())
                 .arg(depth(to))
                 .arg(from["codec_name"].toString())
                 .arg(depth(from));
    const int channels = e.channels > 0 ? e.channels : from["channels"].toInt();
    if (e.stored && to["channels"].toInt() != channels)
        c << QStringLiteral("its sound has %1 channels instead of %2")
                 .arg(to["channels"].toInt())
                 .arg(channels);
    // A WAVE result of a broadcast WAVE file (a tool's, a tag editor's) keeps its bext chunk; a
    // visualizer's film names it.
    const QMap<QString, QString> had = src.tags(), has = result.tags();
    if (!had.contains("time_reference")) return c;
    if (e.ext != "wav")
        return !e.drawing || noted(notes, "broadcast")
                   ? c
                   : c << "it leaves out the broadcast chunk without a note";
    for (const char* field :
         {"encoded_by", "originator_reference", "date", "creation_time", "coding_history"})
        if (has.value(field) != had.value(field))
            c << QStringLiteral("its broadcast chunk's %1 is “%2” instead of “%3”")
                     .arg(field, has.value(field), had.value(field));
    // The samples since midnight at which the result begins.
    const double rate = from["sample_rate"].toString().toDouble();
    const double wanted = had.value("time_reference").toDouble() + std::round(p.from * rate);
    if (std::abs(has.value("time_reference").toDouble() - wanted) > rate / 1000)
        c << QStringLiteral("its broadcast chunk's time reference is %1 instead of %2")
                 .arg(has.value("time_reference"), QString::number(qint64(wanted)));
    return c;
}

// The complaint about an ID3 tag (an MP3's, an AIFF's chunk) that holds its comment as a
// user-defined text frame (TXXX), where players and taggers don't look for it.
inline QString judgeId3(const Reading& result)
{
    if (!result.path.endsWith(".mp3") && !result.path.endsWith(".aiff")) return {};
    const QByteArray bytes = fileBytes(result.path);
    for (qsizetype at = bytes.indexOf("TXXX"); at >= 0; at = bytes.indexOf("TXXX", at + 4)) {
        QByteArray description = bytes.mid(at + 11, 24);
        description.replace('\0', "").replace("\xff\xfe", "").replace("\xfe\xff", "");
        if (description.toLower().startsWith("comment"))
            return "its comment is held as user-defined text (TXXX)";
    }
    return {};
}

// The complaints about every stream beside the first picture and sound, the chapters, the
// timecode and the tags.
inline QStringList judgeStreams(const Reading& result, const Expected& e, const QStringList& notes,
                                double base, double zero)
{
    const Holds h = holds(e.ext);
    const Reading& src = e.pieces.first().source->reading;
    QStringList c;
    qsizetype pictures = 0, sounds = 0, fewestSounds = 99;
    for (const Piece& p : e.pieces) {
        pictures = std::max(pictures, p.source->reading.streams("video").size());
        sounds = std::max(sounds, p.source->reading.streams("audio").size());
        fewestSounds = std::min(fewestSounds, p.source->reading.streams("audio").size());
    }
    if (e.picture && !e.drawing && result.streams("video").size() < pictures &&
        !noted(notes, "picture track"))
        c << "it leaves out a picture track without a note";
    const QList<QJsonObject> tracks = result.streams("audio");
    if (e.sound) {
        const qsizetype wanted = h.manySounds ? fewestSounds : std::min<qsizetype>(1, sounds);
        if (tracks.size() != wanted)
            c << QStringLiteral("it has %1 sound tracks instead of %2").arg(tracks.size()).arg(wanted);
        if (tracks.size() < sounds && !noted(notes, "sound track"))
            c << "it leaves out a sound track without a note";
        const QList<QJsonObject> from = src.streams("audio");
        for (qsizetype k = 0; k < tracks.size() && k < from.size() && h.manySounds; ++k)
            for (const QString& tag :
                 h.trackTitle ? QStringList{"language", "title"} : QStringList{"language"})
                if (h.language && e.tagsKept && named(tracks[k], tag) != named(from[k], tag))
                    c << QStringLiteral("its sound track %1 has the %2 “%3” instead of “%4”")
                             .arg(k + 1)
                             .arg(tag, named(tracks[k], tag), named(from[k], tag));
    }
    const QList<QJsonObject> covers = result.covers();
    for (const QJsonObject& cover : src.covers()) {
        const bool kept = std::any_of(covers.begin(), covers.end(), [&](const QJsonObject& r) {
            return r["codec_name"] == cover["codec_name"];
        });
        if (!kept && ((h.covers && e.coversKept) || !noted(notes, "cover")))
            c << (noted(notes, "cover") ? QStringLiteral("it leaves out its cover, which %1 holds").arg(e.ext)
                                        : QStringLiteral("it leaves out its %1 cover without a note")
                                              .arg(cover["codec_name"].toString()));
    }
    const QList<QJsonObject> attached = result.streams("attachment");
    for (const QJsonObject& a : src.streams("attachment")) {
        const QString file = named(a, "filename");
        const bool kept = std::any_of(attached.begin(), attached.end(), [&](const QJsonObject& r) {
            return named(r, "filename") == file && named(r, "mimetype") == named(a, "mimetype");
        });
        if (!kept && (h.attachments || !noted(notes, file)))
            c << QStringLiteral("it leaves out the attached file “%1”%2")
                     .arg(file, h.attachments ? QString() : QStringLiteral(" without a note"));
    }
    // A source whose packets stop well before the length its header states is converted as far as
    // it goes, and a note says so.
    for (const Piece& p : e.pieces) {
        const QJsonObject format = p.source->reading.probe["format"].toObject();
        const double stated =
            format["duration"].toString().toDouble() - std::max(0.0, p.source->reading.start);
        double reach = p.source->end; // its picture's, or any sound track's that goes on after it
        for (const auto& heard : p.source->heard)
            if (heard) reach = std::max(reach, heard->second);
        if (stated > reach + 0.5 && (p.to < 0 || p.to > p.source->end) && !noted(notes, "cut short"))
            c << QStringLiteral("no note says that %1 is cut short").arg(p.source->name);
    }
    // A film's subtitles left out of its sound alone are named too.
    if (!e.drawing) c << judgeSubtitles(result, e, notes, base, zero);
    c << judgeChapters(result, e, notes, base, zero) << judgeStored(result, e, notes) << judgeId3(result);
    if (e.picture) c << judgeTimecode(result, e, notes, base);
    const QMap<QString, QString> had = src.tags(), has = result.tags();
    for (const QString& tag : h.tags) {
        // A broadcast WAVE file's "creation_time" is the time of day its bext chunk names, no moment
        // a film's tag could hold.
        if (tag == "creation_time" && had.contains("time_reference")) continue;
        const QString wanted = e.tags.value(tag, e.tagsKept ? had.value(tag) : QString());
        if (!wanted.isEmpty() && !sameTag(tag, has.value(tag), wanted))
            c << QStringLiteral("its tag “%1” is “%2” instead of “%3”").arg(tag, has.value(tag), wanted);
    }
    c.removeAll(QString());
    return c;
}

} // namespace Judge
