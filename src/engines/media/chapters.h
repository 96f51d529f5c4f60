#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <utility>

// The chapters of a media file, and the ffmetadata text that hands chapters to ffmpeg as an
// input of their own, for a result whose timing differs from its source's.
namespace Chapters {

struct Chapter
{
    double start = 0; // seconds
    double end = 0;
    QList<std::pair<QString, QString>> tags; // "title" and whatever else the chapter carries
};

// The chapters of `path` in file order, read in this process (by ffprobe where ffmpeg's libraries
// are missing); none when it has none or it can't be read.
QList<Chapter> read(const QString& path);
// The reading of ffprobe's JSON (-show_chapters); bad input gives none.
QList<Chapter> parse(const QByteArray& json);

// The chapters of a video played `speed` times as fast (above 0), each time divided by it.
QList<Chapter> scaled(const QList<Chapter>& chapters, double speed);

// The chapters of the stretch from `from` to `to` seconds of a source, in a result whose 0 lies at
// `zero` seconds of the source: those that reach into the stretch, each held within it, so that
// one that began before it begins with it.
QList<Chapter> cut(const QList<Chapter>& chapters, double from, double to, double zero);

// Whether ffmpeg writes chapters into a conversion's result in the container `ext`: WAVE, AVI
// and GIF files hold none, and it writes none into FLAC and Ogg files; an AIFF holds them in
// the ID3 chunk a conversion writes.
bool heldBy(const QString& ext);

// The note on a result in the container `ext` that leaves chapters out.
QString leftOut(const QString& ext);

// ffmpeg's metadata file holding `chapters` and nothing else, times in milliseconds.
QString metadata(const QList<Chapter>& chapters);

// metadata() written as "<name>.txt" in `folder`; its path. Throws ConvertError.
QString written(const QList<Chapter>& chapters, const QString& folder,
                const QString& name = QStringLiteral("chapters"));

} // namespace Chapters
