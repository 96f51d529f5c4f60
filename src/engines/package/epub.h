#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// EPUB 3 books: written from chapters of HTML, read back as the HTML of their reading order.
namespace EPUB {

struct Chapter
{
    QString title;
    QString html; // the chapter's body content
};

// A file the chapters refer to, such as a picture.
struct Resource
{
    QString href; // relative to the chapters, e.g. "images/picture1.png"
    QString mediaType;
    QByteArray bytes;
};

// Writes a reflowable book at `path`: one "chapterNNN.xhtml" per chapter, the `resources`
// beside them, a table of contents and a new "urn:uuid:" identifier. Throws what Zip::write
// throws.
void write(const QString& title, const QList<Chapter>& chapters, const QString& path,
           const QList<Resource>& resources = {});

// Chapter HTML, well-formed or not, as well-formed XHTML for a body: tags and attribute names in
// lower case, attributes quoted and once each, elements closed where a browser would close them
// (void ones as "<br />"), named HTML entities as numeric references, bare "&" and "<" escaped.
// Comments, the head, scripts and names that need a namespace ("o:p") are left out.
QString xhtml(const QString& html);

// The bodies of the book's spine documents in reading order, each followed by a line feed,
// without images. Throws ConvertError when the book can't be unpacked, has no package file, or
// points at anything outside itself (absolute paths, ".." beyond its root, links out), and
// ConvertError::unsupported ("book.epub is too large to convert") past 64 Mi characters; nothing
// outside the unpacked book is read. Spine items that are missing are skipped.
QString readHTML(const QString& path);

} // namespace EPUB
