#pragma once

// Small media files made with ffmpeg's generated sources, and ffprobe's view of results.

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>

namespace Fixture {

// Runs ffmpeg quietly with `args` (inputs, options, output); false when it fails.
inline bool ffmpeg(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), QStringList{"-v", "error", "-y", "-nostdin"} + args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A test picture of `size` ("160x120") lasting `seconds`, with a sine tone unless `silent`.
inline QStringList sources(double seconds, const QString& size = QStringLiteral("160x120"), bool silent = false)
{
    const QString d = QString::number(seconds);
    QStringList args{"-f", "lavfi", "-i", QStringLiteral("testsrc2=s=%1:r=25:d=%2").arg(size, d)};
    if (!silent) args << QStringList{"-f", "lavfi", "-i", QStringLiteral("sine=f=440:d=%1").arg(d)};
    return args;
}

inline QJsonObject probe(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"), {"-v", "error", "-print_format", "json", "-show_format", "-show_streams",
                                        "-count_frames", path});
    p.waitForFinished(60000);
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

// The streams of one type ("video", "audio") as ffprobe lists them.
inline QList<QJsonObject> streams(const QJsonObject& probe, const QString& type)
{
    QList<QJsonObject> out;
    for (const QJsonValue& s : probe.value("streams").toArray())
        if (s.toObject().value("codec_type").toString() == type) out << s.toObject();
    return out;
}

inline QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace Fixture
