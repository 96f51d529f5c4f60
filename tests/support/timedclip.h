// Clips that show and play their own time, made by ffmpeg from lavfi sources, and a reading of
// any result made from them by ffprobe and an ffmpeg decode: which source frame each picture is,
// when each click of the sound is heard, and so which source moment a result shows and plays.

#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <cmath>
#include <optional>

namespace TimedClip {

// A clip of `seconds`, 160 × 120 at `rate` ("25", "30000/1001"), whose frame n shows ffmpeg's
// moving test picture (which encoders predict with B-frames) over a band at the bottom, flat grey in two
// halves: the left at level 16 + 8 × (n mod 25), the right at 16 + 8 × (n div 25). Its sound
// is silent but for a 20 ms click in each second of the sound's own time, 0, 0.15 or 0.3 s into
// it in turn (so that a shift by whole seconds shows), starting
// `soundDelay` seconds after the picture (none: no sound). `codecs` are the output options of
// the picture and the sound (key frames, B-frames, container choices), put before the path.
inline bool make(const QString& path, double seconds, const QString& rate, std::optional<double> soundDelay,
                 const QStringList& codecs)
{
    const QString d = QString::number(seconds, 'f', 3);
    QStringList args{
        "-v",
        "error",
        "-y",
        "-nostdin",
        "-f",
        "lavfi",
        "-i",
        QStringLiteral("testsrc2=s=160x120:r=%1:d=%2,format=yuv420p,geq=lum='if(gt(Y,H-25),if(lt(X,W/2),"
                       "16+8*mod(N,25),16+8*trunc(N/25)),lum(X,Y))':cb='if(gt(Y,H-25),128,cb(X,Y))':"
                       "cr='if(gt(Y,H-25),128,cr(X,Y))'")
            .arg(rate, d)};
    if (soundDelay)
        args << "-itsoffset" << QString::number(*soundDelay, 'f', 3) << "-f"
             << "lavfi"
             << "-i"
             << QStringLiteral("aevalsrc='if(between(mod(t,1)-0.15*mod(floor(t),3),0,0.02),0.8*sin(2*PI*1000*"
                               "t),0)':s=44100:d=%1")
                    .arg(QString::number(seconds - *soundDelay, 'f', 3));
    args << "-map"
         << "0:v";
    if (soundDelay)
        args << "-map"
             << "1:a";
    QProcess p;
    p.start("ffmpeg", args + codecs + QStringList{path});
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// One picture of a result: when it is shown and which source frame it is.
struct Frame
{
    double at = 0;
    int number = -1;
};

// What a result shows and plays, in seconds from the file's zero.
struct Timeline
{
    QList<Frame> frames;  // in the order shown
    QList<double> clicks; // when each click begins
    std::optional<double> soundStart;

    // The frame shown at `t`: the last one that starts at or before it, or the first for a
    // moment before it.
    std::optional<Frame> shownAt(double t) const
    {
        if (frames.isEmpty()) return std::nullopt;
        Frame shown = frames.first();
        for (const Frame& f : frames)
            if (f.at <= t + 0.0005) shown = f;
        return shown;
    }

    // The frame carrying `number`.
    std::optional<Frame> numbered(int number) const
    {
        for (const Frame& f : frames)
            if (f.number == number) return f;
        return std::nullopt;
    }
};

inline QByteArray output(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitCode() != 0) return {};
    return p.readAllStandardOutput();
}

// The picture and sound of `path`, read by ffprobe and decoded by ffmpeg.
inline Timeline read(const QString& path)
{
    Timeline t;
    const QJsonObject probed =
        QJsonDocument::fromJson(output("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                                   "frame=best_effort_timestamp_time", "-of", "json", path}))
            .object();
    const QJsonArray frames = probed["frames"].toArray();
    // Two bytes a frame: the two halves of the band, each averaged, as full-range grey.
    const QByteArray halves =
        output("ffmpeg", {"-v", "error", "-i", path, "-map", "0:v:0", "-fps_mode", "passthrough", "-vf",
                          "crop=iw:16:0:ih-20,scale=2:1:flags=area,format=gray", "-f", "rawvideo", "-"});
    for (qsizetype i = 0; i < frames.size() && 2 * i + 1 < halves.size(); ++i) {
        const auto level = [&](qsizetype k) { return qRound(quint8(halves[k]) * 219.0 / 255 / 8); };
        t.frames << Frame{frames[i].toObject()["best_effort_timestamp_time"].toString().toDouble(),
                          level(2 * i + 1) * 25 + level(2 * i)};
    }

    const QString start =
        QString::fromUtf8(output("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries",
                                             "stream=start_time", "-of", "csv=p=0", path}))
            .trimmed();
    if (start.isEmpty() || start == "N/A") return t;
    t.soundStart = start.toDouble();
    // Mono at 8000 Hz from the file's zero, not from its earliest stream: the sound's own start
    // is kept as silence before it.
    const QByteArray pcm =
        output("ffmpeg", {"-v", "error", "-copyts", "-i", path, "-map", "0:a:0", "-af",
                          "aresample=async=1:first_pts=0", "-ac", "1", "-ar", "8000", "-f", "s16le", "-"});
    const auto* samples = reinterpret_cast<const qint16*>(pcm.constData());
    const qsizetype count = pcm.size() / 2;
    qsizetype quiet = 8000; // a click begins after at least 0.3 s without one
    for (qsizetype i = 0; i < count; ++i) {
        // Well above the encoder's pre-echo, which runs a few milliseconds ahead of a click.
        const bool loud = std::abs(int(samples[i])) > 3000;
        if (loud && quiet >= 2400) t.clicks << double(i) / 8000;
        quiet = loud ? 0 : quiet + 1;
    }
    return t;
}

// The pictures' times of `path`'s first picture stream that are key frames, from its packets.
inline QList<double> keyFrames(const QString& path)
{
    QList<double> keys;
    const QStringList lines =
        QString::fromUtf8(output("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                             "packet=pts_time,flags", "-of", "csv=p=0", path}))
            .split('\n', Qt::SkipEmptyParts);
    for (const QString& line : lines)
        if (line.section(',', 1).startsWith('K')) keys << line.section(',', 0, 0).toDouble();
    std::sort(keys.begin(), keys.end());
    return keys;
}

// The start of the earliest stream of `path`, from which ffmpeg's -ss counts.
inline double fileStart(const QString& path)
{
    return QString::fromUtf8(output("ffprobe", {"-v", "error", "-show_entries", "format=start_time", "-of",
                                                "csv=p=0", path}))
        .trimmed()
        .toDouble();
}

// How far each click of `made` is heard from the source moment its picture shows then, the
// picture's source time counted from `sourceFrames` (the source's own frames, by number) and the
// sound's from `sourceClicks`; `speed` is how much faster the result plays. The largest such
// distance of all clicks; none when `made` has no click.
inline std::optional<double> worstStep(const Timeline& made, const Timeline& source, double speed = 1)
{
    std::optional<double> worst;
    for (const double c : made.clicks) {
        // A slowed picture shows each frame more than once: timed from its first showing.
        const std::optional<Frame> shown = made.shownAt(c);
        const std::optional<Frame> f = shown ? made.numbered(shown->number) : std::nullopt;
        const std::optional<Frame> original = f ? source.numbered(f->number) : std::nullopt;
        if (!original) continue;
        const double moment = original->at + (c - f->at) * speed;
        double nearest = 1e9;
        for (const double s : source.clicks)
            nearest = std::min(nearest, std::abs(moment - s));
        worst = std::max(worst.value_or(0), nearest);
    }
    return worst;
}

} // namespace TimedClip
