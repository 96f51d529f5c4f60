// Test clips for the video windows, made by ffmpeg from its lavfi sources, and their lengths
// read back by ffprobe.

#pragma once

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
