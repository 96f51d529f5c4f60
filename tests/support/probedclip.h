// The clips the media tools' work tests run on, made from ffmpeg's lavfi sources, and what
// ffprobe reads of a result: its length and title, and its first picture and first sound.

#pragma once

#include "enginefixtures_a.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QtGlobal>

struct Probed
{
    double duration = 0;
    int channels = 0, sampleRate = 0, width = 0, height = 0;
    QString video, audio; // the first picture's and the first sound's codec, empty when none
    QString title;
};

inline Probed ffprobe(const QString& path)
{
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-print_format", "json", "-show_format", "-show_streams", path});
    p.waitForFinished(60000);
    const QJsonObject top = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    Probed out;
    const QJsonObject format = top["format"].toObject();
    out.duration = format["duration"].toString().toDouble();
    out.title = format["tags"].toObject()["title"].toString();
    for (const QJsonValue& v : top["streams"].toArray()) {
        const QJsonObject s = v.toObject();
        if (s["codec_type"] == "audio" && out.audio.isEmpty()) {
            out.audio = s["codec_name"].toString();
            out.channels = s["channels"].toInt();
            out.sampleRate = s["sample_rate"].toString().toInt();
        } else if (s["codec_type"] == "video" && out.video.isEmpty()) {
            out.video = s["codec_name"].toString();
            out.width = s["width"].toInt();
            out.height = s["height"].toInt();
        }
    }
    return out;
}

inline bool near(double value, double expected, double slack = 0.15)
{
    return qAbs(value - expected) <= slack;
}

// "Trip": 640 × 360 at 30 fps with a tone, 3 s, H.264; `extra` output options go before the path.
inline bool makeTrip(const QString& path, const QStringList& extra = {})
{
    return Fixture::ffmpeg(QStringList{"-f", "lavfi", "-i", "testsrc2=s=640x360:r=30:d=3", "-f", "lavfi",
                                       "-i", "sine=d=3", "-pix_fmt", "yuv420p", "-c:v", "libx264", "-preset",
                                       "ultrafast"} +
                           extra + QStringList{path});
}

// "Quiet": 320 × 240 at 25 fps without sound, 2 s, H.264.
inline bool makeQuiet(const QString& path)
{
    return Fixture::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=320x240:r=25:d=2", "-pix_fmt", "yuv420p", "-c:v",
                            "libx264", "-preset", "ultrafast", path});
}

// The chapters of `path` as ffprobe reads them.
struct ProbedChapter
{
    double start = 0, end = 0;
    QString title;
};

inline QList<ProbedChapter> probedChapters(const QString& path)
{
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-print_format", "json", "-show_chapters", path});
    p.waitForFinished(60000);
    QList<ProbedChapter> out;
    for (const QJsonValue& v :
         QJsonDocument::fromJson(p.readAllStandardOutput()).object()["chapters"].toArray()) {
        const QJsonObject c = v.toObject();
        out << ProbedChapter{c["start_time"].toString().toDouble(), c["end_time"].toString().toDouble(),
                             c["tags"].toObject()["title"].toString()};
    }
    return out;
}

// How many frames the first picture stream, or the first sound stream (`stream` "a:0"), holds,
// counted by decoding them; −1 when ffprobe can't.
inline int countedFrames(const QString& path, const QString& stream = "v:0")
{
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-count_frames", "-select_streams", stream, "-show_entries",
                        "stream=nb_read_frames", "-of", "csv=p=0", path});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return -1;
    bool ok = false;
    const int n = QString::fromUtf8(p.readAllStandardOutput()).trimmed().toInt(&ok);
    return ok ? n : -1;
}

// How long a stream ("a:0", the first sound) lasts as its container stores it; 0 when not stored.
inline double streamDuration(const QString& path, const QString& stream)
{
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-select_streams", stream, "-show_entries", "stream=duration", "-of",
                        "csv=p=0", path});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed().toDouble();
}
