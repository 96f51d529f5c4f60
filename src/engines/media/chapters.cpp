#include "engines/media/chapters.h"

#include "core/converterror.h"
#include "engines/media/keptstreams.h"
#include "engines/media/libav.h"
#include "engines/media/media.h"
#include "engines/media/mediastreams.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace {

// Keys and values of a metadata file escape its own punctuation and line ends with a backslash.
QString escaped(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        if (c == QLatin1Char('=') || c == QLatin1Char(';') || c == QLatin1Char('#') ||
            c == QLatin1Char('\\') || c == QLatin1Char('\n'))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

QString milliseconds(double seconds)
{
    return QString::number(std::llround(std::max(0.0, seconds) * 1000));
}

} // namespace

namespace Chapters {

QList<Chapter> parse(const QByteArray& json)
{
    QList<Chapter> out;
    for (const QJsonValue& item :
         QJsonDocument::fromJson(json).object().value(QLatin1String("chapters")).toArray()) {
        const QJsonObject c = item.toObject();
        bool startOk = false, endOk = false;
        Chapter chapter;
        chapter.start = c.value(QLatin1String("start_time")).toString().toDouble(&startOk);
        chapter.end = c.value(QLatin1String("end_time")).toString().toDouble(&endOk);
        if (!startOk || !endOk || !std::isfinite(chapter.start) || !std::isfinite(chapter.end)) continue;
        const QJsonObject tags = c.value(QLatin1String("tags")).toObject();
        for (auto t = tags.begin(); t != tags.end(); ++t)
            chapter.tags << std::pair{t.key(), t.value().toString()};
        out << chapter;
    }
    return out;
}

QList<Chapter> read(const QString& path)
{
    if (const auto reading = LibAv::read(path)) return reading->chapters;
    return parse(Media::probeJson(path, QStringLiteral("-show_chapters")));
}

QList<Chapter> scaled(const QList<Chapter>& chapters, double speed)
{
    QList<Chapter> out = chapters;
    for (Chapter& c : out) {
        c.start /= speed;
        c.end /= speed;
    }
    return out;
}

QList<Chapter> cut(const QList<Chapter>& chapters, double from, double to, double zero)
{
    QList<Chapter> out;
    for (Chapter c : chapters) {
        if (c.end <= from || c.start >= to) continue;
        c.start = std::max(c.start, from) - zero;
        c.end = std::min(c.end, to) - zero;
        out << c;
    }
    return out;
}

bool heldBy(const QString& ext)
{
    static const QStringList none{QStringLiteral("wav"), QStringLiteral("flac"), QStringLiteral("ogg"),
                                  QStringLiteral("avi"), QStringLiteral("gif")};
    return !none.contains(ext);
}

QString leftOut(const QString& ext)
{
    return QStringLiteral("The chapters were left out: %1 files written here can’t hold them")
        .arg(KeptStreams::containerName(ext));
}

QString metadata(const QList<Chapter>& chapters)
{
    QString text = QStringLiteral(";FFMETADATA1\n");
    for (const Chapter& c : chapters) {
        text += QStringLiteral("[CHAPTER]\nTIMEBASE=1/1000\nSTART=%1\nEND=%2\n")
                    .arg(milliseconds(c.start), milliseconds(c.end));
        for (const auto& [key, value] : c.tags)
            text += escaped(key) + QLatin1Char('=') + escaped(value) + QLatin1Char('\n');
    }
    return text;
}

QString written(const QList<Chapter>& chapters, const QString& folder, const QString& name)
{
    const QString path = QDir(folder).filePath(name + QStringLiteral(".txt"));
    QFile file(path);
    const QByteArray text = metadata(chapters).toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.flush())
        throw ConvertError::failed(QStringLiteral("The chapters could not be written to a temporary file: %1")
                                       .arg(file.errorString()));
    return path;
}

} // namespace Chapters
