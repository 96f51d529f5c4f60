#pragma once

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>
#include <optional>

class QTextDocument;
class QTextImageFormat;

namespace Doc {

// A picture a document shows, encoded for a file: PNG and JPEG bytes as they were, anything
// else as PNG.
struct Picture
{
    QString name; // the name the document refers to it by
    QByteArray bytes;
    QString mimeType;  // "image/png" or "image/jpeg"
    QString extension; // "png" or "jpeg"
    QSize size;        // in pixels
};

// The picture `document` holds or can load under `name`; nothing when there is none.
std::optional<Picture> picture(const QTextDocument& document, const QString& name);

// The size in pixels of the picture `document` holds or can load under `name`, read from its
// header where it can be; nothing when there is none.
std::optional<QSize> pictureSize(const QTextDocument& document, const QString& name);

// The size a picture of `own` pixels is shown at in CSS pixels: the format's, one side
// following the other when only one is given, the picture's own when none; never wider than
// `maxWidth`.
QSizeF shownSize(const QTextImageFormat& format, const QSize& own, double maxWidth);

// Every picture the document shows, each once, in the order they first appear.
QList<Picture> pictures(const QTextDocument& document);

} // namespace Doc
