// What ffprobe reads of a video result: its length, first picture size, whether it has sound,
// and its title.

#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QtGlobal>

struct Probed
{
    double duration = 0;
    int width = 0, height = 0;
    bool audio = false;
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
        if (s["codec_type"] == "audio") out.audio = true;
        if (s["codec_type"] == "video" && out.width == 0) {
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
