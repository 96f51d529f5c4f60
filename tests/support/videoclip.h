// Test clips for the video windows, made by ffmpeg from its lavfi sources, and their lengths
// read back by ffprobe.

#pragma once

#include <QImage>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

// A clip of `seconds` with a moving test picture and a tone, H.264 and AAC; false when ffmpeg
// failed.
inline bool makeClip(const QString& path, double seconds, const QString& size = QStringLiteral("320x240"))
{
    const QString d = QString::number(seconds, 'f', 3);
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), {"-v",
                                       "error",
                                       "-y",
                                       "-f",
                                       "lavfi",
                                       "-i",
                                       QStringLiteral("testsrc2=size=%1:rate=25:duration=%2").arg(size, d),
                                       "-f",
                                       "lavfi",
                                       "-i",
                                       QStringLiteral("sine=d=%1").arg(d),
                                       "-c:v",
                                       "libx264",
                                       "-pix_fmt",
                                       "yuv420p",
                                       "-g",
                                       "25",
                                       "-c:a",
                                       "aac",
                                       "-shortest",
                                       path});
    return p.waitForFinished(60000) && p.exitCode() == 0;
}

// The container's duration in seconds as ffprobe reads it; −1 when it cannot.
inline double probedDuration(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"), {"-v", "error", "-show_entries", "format=duration", "-of",
                                        "default=noprint_wrappers=1:nokey=1", path});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) return -1;
    bool ok = false;
    const double d = QString::fromUtf8(p.readAllStandardOutput()).trimmed().toDouble(&ok);
    return ok ? d : -1;
}

// A clip whose frames carry their number: frame n is a flat grey of luma 16 + 3n, 60 frames at
// 30000/1001 a second, H.264 in the container of the path's extension, with a tone that starts
// `delay` seconds before the picture.
inline bool makeNumberedClip(const QString& path, double delay = 0)
{
    const QString args = QStringLiteral("-v error -y -f lavfi -i sine=d=%1 -itsoffset %2 -f lavfi -i "
                                        "nullsrc=s=160x120:r=30000/1001:d=2,geq=lum='16+3*N':cb=128:cr=128,"
                                        "format=yuv420p -map 1:v -map 0:a -c:v libx264 -g 30 -c:a aac")
                             .arg(2 + delay, 0, 'f', 3)
                             .arg(delay, 0, 'f', 3);
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), args.split(' ') << path);
    return p.waitForFinished(60000) && p.exitCode() == 0;
}

// The number a picture of a numbered clip carries (decoded to full-range grey: 255/219 a level).
inline int frameNumber(const QImage& picture)
{
    if (picture.isNull()) return -1;
    return qRound(qGray(picture.pixel(picture.width() / 2, picture.height() / 2)) * 219.0 / 255 / 3);
}

// The numbers of every frame of a numbered clip, in the order they are shown.
inline QList<int> frameNumbers(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"),
            {"-v", "error", "-i", path, "-vf", "format=gray,scale=1:1", "-f", "rawvideo", "-"});
    QList<int> numbers;
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return numbers;
    for (const char grey : p.readAllStandardOutput())
        numbers << qRound(quint8(grey) * 219.0 / 255 / 3);
    return numbers;
}

// When the first picture of `path` starts, in seconds after the file's start, as ffprobe reads it.
inline double pictureDelay(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"), {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                        "stream=start_time:format=start_time", "-of", "csv=p=0", path});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) return -1;
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    return lines.size() == 2 ? lines[0].toDouble() - lines[1].toDouble() : -1;
}
