#include "engines/media/toolargs.h"

#include <QLocale>
#include <cmath>

namespace {

QString integer(int value)
{
    return QString::number(value);
}

} // namespace

namespace ToolArgs {

QString fixed(double value, int decimals)
{
    // QString::number writes in the C locale whatever the process's locale is. A value that
    // rounds to zero is written without a minus sign.
    if (std::abs(value) < 0.5 * std::pow(10.0, -decimals)) value = 0;
    return QString::number(value, 'f', decimals);
}

QString gain(double value)
{
    QString text = QString::number(value, 'f', QLocale::FloatingPointShortest);
    if (!text.contains(QLatin1Char('.'))) text += QStringLiteral(".0");
    return text;
}

bool carriesCovers(const QString& ext)
{
    static const QStringList containers{QStringLiteral("mp3"), QStringLiteral("m4a"), QStringLiteral("flac")};
    return containers.contains(ext);
}

QStringList id3Chunk(const QString& ext)
{
    if (ext != QLatin1String("aiff")) return {};
    return {QStringLiteral("-write_id3v2"), QStringLiteral("1")};
}

QStringList extraInputs(const Extras& extras)
{
    QStringList args;
    // "-f" right before "-i": a file the operation wrote is the one input the guard leaves alone.
    for (const Extras::Track& t : extras.tracks) {
        if (t.offset != 0) args << QStringLiteral("-itsoffset") << fixed(t.offset, 3);
        args << QStringLiteral("-f")
             << (t.codec == QLatin1String("ass") ? QStringLiteral("ass") : QStringLiteral("srt"))
             << QStringLiteral("-i") << t.path;
    }
    if (!extras.chapters.isEmpty())
        args << QStringLiteral("-f") << QStringLiteral("ffmetadata") << QStringLiteral("-i")
             << extras.chapters;
    if (!extras.coverSource.isEmpty()) args << QStringLiteral("-i") << extras.coverSource;
    return args;
}

QStringList extraOutputs(const Extras& extras, int firstTrack)
{
    QStringList args;
    int subtitle = 0;
    int video = extras.pictures;
    int attachment = 0;
    const int coverInput = extras.coverSource.isEmpty()
                               ? 0
                               : firstTrack + int(extras.tracks.size()) + (extras.chapters.isEmpty() ? 0 : 1);
    const auto tag = [&](const QString& stream, const QString& key, const QString& value) {
        if (!value.isEmpty())
            args << QStringLiteral("-metadata:s:") + stream << key + QLatin1Char('=') + value;
    };
    for (const Extras::Copied& c : extras.copied) {
        using As = Extras::Copied::As;
        const int input = c.as == As::cover ? coverInput : 0;
        args << QStringLiteral("-map") << integer(input) + QLatin1Char(':') + integer(c.index);
        if (c.as == As::cover) {
            const QString v = integer(video++);
            args << QStringLiteral("-c:v:") + v << c.codec << QStringLiteral("-disposition:v:") + v
                 << QStringLiteral("attached_pic");
            if (c.codec == QLatin1String("mjpeg")) args << QStringLiteral("-q:v:") + v << QStringLiteral("2");
            tag(QStringLiteral("v:") + v, QStringLiteral("comment"), c.pictureKind);
        } else if (c.as == As::attachment) {
            const QString t = QStringLiteral("t:") + integer(attachment++);
            tag(t, QStringLiteral("filename"), c.fileName);
            tag(t, QStringLiteral("mimetype"), c.mimeType);
        } else {
            const QString s = integer(subtitle++);
            args << QStringLiteral("-c:s:") + s << c.codec;
            tag(QStringLiteral("s:") + s, QStringLiteral("language"), c.language);
            tag(QStringLiteral("s:") + s, QStringLiteral("title"), c.title);
        }
    }
    for (int i = 0; i < extras.tracks.size(); ++i) {
        const Extras::Track& t = extras.tracks[i];
        const QString s = integer(subtitle++);
        args << QStringLiteral("-map") << integer(firstTrack + i) + QStringLiteral(":0")
             << QStringLiteral("-c:s:") + s << t.codec;
        if (!t.disposition.isEmpty()) args << QStringLiteral("-disposition:s:") + s << t.disposition;
        tag(QStringLiteral("s:") + s, QStringLiteral("language"), t.language);
        tag(QStringLiteral("s:") + s, QStringLiteral("title"), t.title);
    }
    // ffmpeg adds attached files after every mapped stream, so they follow the mapped attachments.
    for (const Extras::Attached& a : extras.attached) {
        const QString t = QStringLiteral("t:") + integer(attachment++);
        args << QStringLiteral("-attach") << a.path;
        tag(t, QStringLiteral("mimetype"), a.mimeType);
        tag(t, QStringLiteral("filename"), a.fileName);
    }
    if (!extras.chapters.isEmpty())
        args << QStringLiteral("-map_chapters") << integer(firstTrack + int(extras.tracks.size()));
    tag(QStringLiteral("v:0"), QStringLiteral("timecode"), extras.timecode);
    // A tag of the file, as ffmpeg writes a Matroska film's, would still hold the source's.
    if (!extras.timecode.isEmpty())
        args << QStringLiteral("-metadata") << QStringLiteral("timecode=") + extras.timecode;
    args << extras.place;
    if (!extras.soundComments.isEmpty()) args << QStringLiteral("-map_chapters") << QStringLiteral("-1");
    for (const QString& comment : extras.soundComments)
        args << QStringLiteral("-metadata:s:a:0") << comment;
    for (int k = 0; k < extras.sound.size(); ++k) {
        tag(QStringLiteral("a:") + integer(k), QStringLiteral("language"), extras.sound[k].language);
        tag(QStringLiteral("a:") + integer(k), QStringLiteral("title"), extras.sound[k].title);
    }
    return args;
}

} // namespace ToolArgs
