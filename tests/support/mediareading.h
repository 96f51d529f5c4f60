#pragma once

// What the media judge reads of a film, a song or a still, through ffprobe and one ffmpeg decode
// and nothing of the program's own: its streams, chapters and packets, the moment each picture of
// its first picture track shows, and each sound track as a tone whose pitch tells its moment.
// The sources (tests/support/media-sources.sh) draw their time as 14 upright bands: white, eleven
// bits of hundredths of a second, their parity, black; and play a tone whose frequency follows
// their time.

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QVector>
#include <cmath>
#include <optional>

namespace Judge {

constexpr int soundRate = 16000; // the decoded sound's samples a second
constexpr int bands = 14;
constexpr int bandWidth = 4; // pixels a band is scaled to

// A picture as decoded: when it shows and for how long, in seconds from the file's start, and the
// time it carries in hundredths of a second, −1 when its bands can't be read.
struct Frame
{
    double at = 0;
    int code = -1;
    double lasts = 0;
    bool key = false; // a key frame, as the decoder marks it
};

// A subtitle cue by its packet, in seconds from the file's start.
struct Cue
{
    double start = 0, end = 0;
};

struct Reading
{
    QJsonObject probe;           // ffprobe's streams, format, chapters and packets
    QList<Frame> frames;         // of the first picture track that is not a cover, as shown
    QList<QVector<float>> sound; // each sound track, mono at soundRate, from the file's start
    QStringList errors;          // what the decoder said at level error and above
    double start = 0;            // the file's start time, which the times here count from
    QString path;

    QList<QJsonObject> streams() const
    {
        QList<QJsonObject> out;
        for (const QJsonValue& v : probe["streams"].toArray())
            out << v.toObject();
        return out;
    }
    static bool isCover(const QJsonObject& s)
    {
        return s["disposition"].toObject()["attached_pic"].toInt() == 1;
    }
    // The streams of `type` ("video", "audio", "subtitle", "attachment"), covers apart.
    QList<QJsonObject> streams(const QString& type) const
    {
        QList<QJsonObject> out;
        for (const QJsonObject& s : streams())
            if (s["codec_type"].toString() == type && !isCover(s)) out << s;
        return out;
    }
    QList<QJsonObject> covers() const
    {
        QList<QJsonObject> out;
        for (const QJsonObject& s : streams())
            if (isCover(s)) out << s;
        return out;
    }
    // The packets of stream `index`: their times from the file's start and whether each is a key.
    // Timed text fills the gaps between cues with empty packets, which are left out.
    QList<std::pair<Cue, bool>> packets(int index) const
    {
        QList<std::pair<Cue, bool>> out;
        for (const QJsonValue& v : probe["packets"].toArray()) {
            const QJsonObject p = v.toObject();
            if (p["stream_index"].toInt() != index || !p.contains("pts_time")) continue;
            if (p["size"].toString().toInt() <= 2) continue;
            const double at = p["pts_time"].toString().toDouble() - start;
            out << std::pair{Cue{at, at + p["duration_time"].toString().toDouble()},
                             p["flags"].toString().startsWith('K')};
        }
        std::sort(out.begin(), out.end(),
                  [](const auto& a, const auto& b) { return a.first.start < b.first.start; });
        return out;
    }
    QList<Cue> cues(int index) const
    {
        QList<Cue> out;
        for (const auto& [cue, key] : packets(index))
            out << cue;
        return out;
    }
    // How long the last packet of the first picture track lasts; 0 when unknown.
    double lastLasts() const
    {
        const QList<QJsonObject> pictures = streams("video");
        const auto all =
            pictures.isEmpty() ? QList<std::pair<Cue, bool>>{} : packets(pictures[0]["index"].toInt());
        return all.isEmpty() ? 0 : all.last().first.end - all.last().first.start;
    }
    // The longest a picture lasts.
    double longestFrame() const
    {
        double longest = 0;
        for (const Frame& f : frames)
            longest = std::max(longest, f.lasts);
        return longest > 0 ? longest : 0.04;
    }
    // How long a picture usually lasts: the middle of their lengths.
    double typicalFrame() const
    {
        QList<double> lengths;
        for (const Frame& f : frames)
            lengths << f.lasts;
        std::sort(lengths.begin(), lengths.end());
        return lengths.isEmpty() ? 0.04 : lengths[lengths.size() / 2];
    }
    // Where the pictures end.
    double pictureEnd() const { return frames.isEmpty() ? 0 : frames.last().at + frames.last().lasts; }
    // When the key frames of the first picture track show: by their packets, or as decoded where
    // a key packet has no time of its own (an AVI file's, before B-frames). Some decoders mark
    // every frame a key frame (QuickTime Animation's).
    QList<double> keyFrames() const
    {
        QList<double> out;
        const QList<QJsonObject> pictures = streams("video");
        if (pictures.isEmpty()) return out;
        for (const QJsonValue& v : probe["packets"].toArray()) {
            const QJsonObject p = v.toObject();
            if (p["stream_index"].toInt() == pictures[0]["index"].toInt() && !p.contains("pts_time") &&
                p["flags"].toString().startsWith('K')) {
                for (const Frame& f : frames)
                    if (f.key) out << f.at;
                return out;
            }
        }
        for (const auto& [cue, key] : packets(pictures[0]["index"].toInt()))
            if (key) out << cue.start;
        return out;
    }
    // How many packets the first picture track holds.
    qsizetype picturePackets() const
    {
        const QList<QJsonObject> pictures = streams("video");
        qsizetype n = 0;
        for (const QJsonValue& v : probe["packets"].toArray())
            if (!pictures.isEmpty() && v.toObject()["stream_index"].toInt() == pictures[0]["index"].toInt())
                ++n;
        return n;
    }
    // The file's tags, and those of its only sound track (where Ogg keeps a song's), by lower-case
    // name. The place a phone keeps under Apple's own name counts as the location.
    QMap<QString, QString> tags() const
    {
        QMap<QString, QString> out;
        const QList<QJsonObject> sounds = streams("audio");
        QList<QJsonObject> holders{probe["format"].toObject()};
        // A song's only sound track may hold its tags (Ogg); a film's holds the track's own.
        if (sounds.size() == 1 && streams("video").isEmpty()) holders << sounds[0];
        for (const QJsonObject& holder : holders) {
            const QJsonObject t = holder["tags"].toObject();
            for (auto it = t.begin(); it != t.end(); ++it)
                out.insert(it.key().toLower(), it.value().toString());
        }
        const QString apple = out.value("com.apple.quicktime.location.iso6709");
        if (!out.contains("location") && !apple.isEmpty()) out.insert("location", apple);
        return out;
    }
    // How far the first picture track is turned when shown, in degrees anticlockwise: by its
    // display matrix, else by the tag older files carry (which counts clockwise); 0 when neither.
    int turn() const
    {
        const QJsonObject picture = streams("video").value(0);
        for (const QJsonValue& side : picture["side_data_list"].toArray())
            if (side.toObject().contains("rotation"))
                return ((qRound(side.toObject()["rotation"].toDouble()) % 360) + 360) % 360;
        return ((360 - picture["tags"].toObject()["rotate"].toString().toInt() % 360) % 360);
    }
    // The width and height of the first picture as shown: turned, and stretched by its pixels'
    // shape.
    std::pair<double, double> shownSize() const
    {
        const QJsonObject picture = streams("video").value(0);
        double w = picture["width"].toInt(), h = picture["height"].toInt();
        const QStringList shape = picture["sample_aspect_ratio"].toString().split(':');
        if (shape.size() == 2 && shape[0].toDouble() > 0 && shape[1].toDouble() > 0)
            w *= shape[0].toDouble() / shape[1].toDouble();
        if (turn() % 180 == 90) std::swap(w, h);
        return {w, h};
    }
    // The timecode of the first picture, as any stream or the file states it; empty when none.
    QString timecode() const
    {
        QList<QJsonObject> holders = streams();
        holders << probe["format"].toObject();
        for (const QJsonObject& h : holders) {
            const QJsonObject t = h["tags"].toObject();
            for (auto it = t.begin(); it != t.end(); ++it)
                if (it.key().compare("timecode", Qt::CaseInsensitive) == 0) return it.value().toString();
        }
        return {};
    }
};

// The time a picture's bands carry (one row of bands × bandWidth grey pixels); −1 when the
// bands are unclear, the frame marks are wrong or the parity does not hold.
inline int codeOf(const uchar* row)
{
    int bits[bands];
    for (int b = 0; b < bands; ++b) {
        const int grey = (row[b * bandWidth + 1] + row[b * bandWidth + 2]) / 2;
        if (grey > 150)
            bits[b] = 1;
        else if (grey < 105)
            bits[b] = 0;
        else
            return -1;
    }
    if (bits[0] != 1 || bits[bands - 1] != 0) return -1;
    int value = 0, parity = 0;
    for (int b = 1; b <= bands - 3; ++b) {
        value = value * 2 + bits[b];
        parity ^= bits[b];
    }
    return parity == bits[bands - 2] ? value : -1;
}

inline QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Reads `path`; an empty probe when ffprobe can't open it.
inline Reading read(const QString& path)
{
    Reading r;
    r.path = path;
    QProcess probe;
    probe.start("ffprobe", {"-v", "error", "-of", "json", "-show_format", "-show_streams", "-show_chapters",
                            "-show_entries", "packet=stream_index,pts_time,duration_time,flags,size", path});
    probe.waitForFinished(60000);
    r.probe = QJsonDocument::fromJson(probe.readAllStandardOutput()).object();
    r.start = r.probe["format"].toObject()["start_time"].toString().toDouble();

    // The pictures, scaled to one row of bands taken from below the middle (where no redaction
    // box of the tests lies), each with the time ffmpeg shows it at (counted again after that, so
    // that pictures closer than the writer's time base stay apart); every sound track padded from
    // the file's start.
    QTemporaryDir scratch;
    // One thread each: the pictures are small, and the judges run side by side.
    QStringList args{"-nostdin", "-hide_banner",    "-nostats", "-loglevel", "level+info", "-threads",
                     "1",        "-filter_threads", "1",        "-i",        path};
    const bool picture = !r.streams("video").isEmpty() || path.endsWith(".png");
    if (picture)
        args << "-map"
             << "0:V:0"
             << "-vf"
             << QStringLiteral("crop=iw:ih/4:0:ih*0.7,scale=%1:1:flags=area,format=gray,showinfo,settb=1/"
                               "1000000,setpts=N")
                    .arg(bands * bandWidth)
             << "-fps_mode"
             << "passthrough"
             << "-enc_time_base"
             << "1/1000000"
             << "-f"
             << "rawvideo" << scratch.filePath("picture");
    const int sounds = int(r.streams("audio").size());
    for (int k = 0; k < sounds; ++k)
        args << "-map" << QStringLiteral("0:a:%1").arg(k) << "-af"
             << "aresample=async=1:first_pts=0"
             << "-ac"
             << "1"
             << "-ar" << QString::number(soundRate) << "-f"
             << "f32le" << scratch.filePath(QStringLiteral("sound%1").arg(k));
    if (!picture && sounds == 0) return r;
    QProcess decode;
    decode.start("ffmpeg", args);
    decode.waitForFinished(120000);
    const QString log = QString::fromUtf8(decode.readAllStandardError());
    QList<std::pair<double, bool>> shown;
    static const QRegularExpression showinfo(
        R"(\] \[info\] n:\s*\d+ pts:\s*-?\d+ pts_time:(-?[\d.e+-]+) .* iskey:([01]))");
    for (const QString& line : log.split('\n')) {
        if (line.contains("[error]") || line.contains("[fatal]") || line.contains("[panic]"))
            r.errors << line.trimmed();
        const auto m = showinfo.match(line);
        if (m.hasMatch()) shown << std::pair{m.captured(1).toDouble(), m.captured(2) == "1"};
    }
    if (decode.exitCode() != 0 && r.errors.isEmpty()) r.errors << "ffmpeg could not decode it";
    const QByteArray pixels = fileBytes(scratch.filePath("picture"));
    const qsizetype row = bands * bandWidth;
    for (qsizetype i = 0; i < shown.size() && (i + 1) * row <= pixels.size(); ++i)
        r.frames << Frame{shown[i].first,
                          codeOf(reinterpret_cast<const uchar*>(pixels.constData() + i * row)), 0,
                          shown[i].second};
    // Each picture lasts until the next; the last as long as its packet says, else as the one before.
    for (qsizetype i = 0; i + 1 < r.frames.size(); ++i)
        r.frames[i].lasts = r.frames[i + 1].at - r.frames[i].at;
    if (!r.frames.isEmpty()) {
        const double packet = r.lastLasts();
        r.frames.last().lasts = packet > 0            ? packet
                                : r.frames.size() > 1 ? r.frames[r.frames.size() - 2].lasts
                                                      : 0.04;
    }
    for (int k = 0; k < sounds; ++k) {
        const QByteArray bytes = fileBytes(scratch.filePath(QStringLiteral("sound%1").arg(k)));
        QVector<float> samples(bytes.size() / qsizetype(sizeof(float)));
        std::memcpy(samples.data(), bytes.constData(), size_t(samples.size()) * sizeof(float));
        r.sound << samples;
    }
    return r;
}

// The first and last moments a track is heard, in seconds; none when it is silent.
inline std::optional<std::pair<double, double>> heard(const QVector<float>& s)
{
    constexpr float loud = 0.08f;
    qsizetype first = -1, last = -1;
    for (qsizetype i = 0; i < s.size(); ++i)
        if (std::abs(s[i]) > loud) {
            if (first < 0) first = i;
            last = i;
        }
    if (first < 0) return std::nullopt;
    return std::pair{double(first) / soundRate, double(last + 1) / soundRate};
}

// The frequency of the tone around `at` seconds, from its rising zero crossings over 40 ms; 0
// where it is too quiet or too short to tell.
inline double frequency(const QVector<float>& s, double at)
{
    const qsizetype from = qsizetype((at - 0.02) * soundRate), to = qsizetype((at + 0.02) * soundRate);
    if (from < 0 || to >= s.size()) return 0;
    double energy = 0;
    for (qsizetype i = from; i < to; ++i)
        energy += double(s[i]) * s[i];
    if (std::sqrt(energy / double(to - from)) < 0.04) return 0;
    double first = -1, last = -1;
    int crossings = 0;
    for (qsizetype i = from; i + 1 < to; ++i)
        if (s[i] < 0 && s[i + 1] >= 0) {
            const double t = (double(i) + s[i] / (s[i] - s[i + 1])) / soundRate;
            if (first < 0) first = t;
            last = t;
            ++crossings;
        }
    return crossings >= 4 ? (crossings - 1) / (last - first) : 0;
}

} // namespace Judge
