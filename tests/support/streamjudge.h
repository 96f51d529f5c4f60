// A media result read by other eyes than the code that wrote it: ffprobe's view of each stream
// (kind, codec, dispositions, tags) and of the file, and ffmpeg decoding the whole of it; and
// the sources such results are made from, written by ffmpeg.

#pragma once

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <algorithm>

namespace Judge {

// ffmpeg writing `out` in `folder` with `options`, words apart, where "@name" stands for the file
// of that name in `folder`; false when it fails.
inline bool make(const QDir& folder, const QString& options, const QString& out)
{
    QStringList args{"-v", "error", "-y", "-nostdin"};
    for (const QString& word : options.split(' ', Qt::SkipEmptyParts))
        args << (word.startsWith('@') ? folder.filePath(word.mid(1)) : word);
    QProcess p;
    p.start("ffmpeg", args << folder.filePath(out));
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

struct Stream
{
    QString type;  // "video", "audio", "subtitle", "attachment", "data"
    QString codec; // ffprobe's codec name
    bool cover = false, isDefault = false, forced = false;
    double start = 0;
    QJsonObject tags;
};

struct File
{
    QList<Stream> streams;
    QJsonObject tags; // the file's own
    double duration = 0;

    QList<Stream> of(const QString& type) const
    {
        QList<Stream> out;
        for (const Stream& s : streams)
            if (s.type == type && !s.cover) out << s;
        return out;
    }
    int covers() const
    {
        return int(std::count_if(streams.begin(), streams.end(), [](const Stream& s) { return s.cover; }));
    }
};

inline File probe(const QString& path)
{
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-print_format", "json", "-show_streams", "-show_format", path});
    p.waitForFinished(60000);
    const QJsonObject top = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    File f;
    for (const QJsonValue& v : top["streams"].toArray()) {
        const QJsonObject s = v.toObject();
        const QJsonObject d = s["disposition"].toObject();
        f.streams << Stream{
            s["codec_type"].toString(), s["codec_name"].toString(), d["attached_pic"].toInt() == 1,
            d["default"].toInt() == 1,  d["forced"].toInt() == 1,   s["start_time"].toString().toDouble(),
            s["tags"].toObject()};
    }
    f.tags = top["format"].toObject()["tags"].toObject();
    f.duration = top["format"].toObject()["duration"].toString().toDouble();
    return f;
}

// What ffmpeg says at level error while decoding every picture (covers too) and sound stream of
// the file to the end; a failure to start it says so.
inline QString decodeErrors(const QString& path)
{
    QProcess p;
    p.start("ffmpeg",
            {"-v", "error", "-nostdin", "-i", path, "-map", "0:v?", "-map", "0:a?", "-f", "null", "-"});
    if (!p.waitForFinished(120000)) return QStringLiteral("ffmpeg did not finish");
    const QString errors = QString::fromUtf8(p.readAllStandardError()).trimmed();
    return p.exitCode() == 0 || !errors.isEmpty() ? errors
                                                  : QStringLiteral("ffmpeg exit %1").arg(p.exitCode());
}

// The sizes of the first picture's first packets, which a stream copy keeps.
inline QString firstPackets(const QString& path)
{
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-select_streams", "V:0", "-read_intervals", "%+#8", "-show_entries",
                        "packet=size", "-of", "csv=p=0", path});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput()).simplified();
}

// The subtitle track `index` (among the subtitles) as ffmpeg writes it in the ASS form.
inline QString assText(const QString& path, int index = 0)
{
    QProcess p;
    p.start("ffmpeg", {"-v", "error", "-nostdin", "-i", path, "-map", QStringLiteral("0:s:%1").arg(index),
                       "-f", "ass", "-"});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace Judge
