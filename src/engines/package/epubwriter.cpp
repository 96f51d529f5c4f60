#include "engines/package/epub.h"

#include "core/xml.h"
#include "core/zip.h"
#include "engines/text/htmlentities.h"
#include "engines/text/regex.h"

#include <QDateTime>
#include <QMap>
#include <QUuid>

namespace {

const QLatin1String
    xhtmlHead("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n"
              "<html xmlns=\"http://www.w3.org/1999/xhtml\" "
              "xmlns:epub=\"http://www.idpf.org/2007/ops\">\n<head><meta charset=\"utf-8\"/><title>");

const QLatin1String
    container("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<container version=\"1.0\" "
              "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">\n  <rootfiles><rootfile "
              "full-path=\"OEBPS/content.opf\" "
              "media-type=\"application/oebps-package+xml\"/></rootfiles>\n</container>");

const QLatin1String style("body{font-family:serif;line-height:1.5;margin:1em}img{max-width:100%}table{border-"
                          "collapse:collapse}td,th{border:1px solid #999;padding:2px 6px}");

QString chapterFile(qsizetype n)
{
    return QStringLiteral("chapter%1.xhtml").arg(n, 3, 10, QLatin1Char('0'));
}

QString chapterDocument(const EPUB::Chapter& chapter)
{
    return xhtmlHead + xmlEscaped(chapter.title) + QLatin1String("</title><style>") + style +
           QLatin1String("</style></head>\n<body>") + EPUB::xhtml(chapter.html) +
           QLatin1String("</body></html>");
}

QString packageDocument(const QString& title, const QString& items, const QString& spine)
{
    const QString identifier =
        QLatin1String("urn:uuid:") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const QString modified =
        QDateTime::currentDateTimeUtc().toString(Qt::ISODate).left(19) + QLatin1Char('Z');
    return QLatin1String(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<package xmlns=\"http://www.idpf.org/2007/opf\" "
               "version=\"3.0\" unique-identifier=\"bookid\">\n  <metadata "
               "xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n    <dc:identifier id=\"bookid\">") +
           identifier + QLatin1String("</dc:identifier>\n    <dc:title>") + xmlEscaped(title) +
           QLatin1String("</dc:title>\n    <dc:language>en</dc:language>\n    <meta "
                         "property=\"dcterms:modified\">") +
           modified +
           QLatin1String(
               "</meta>\n    \n  </metadata>\n  <manifest>\n    <item id=\"nav\" href=\"nav.xhtml\" "
               "media-type=\"application/xhtml+xml\" properties=\"nav\"/>\n    ") +
           items + QLatin1String("\n  </manifest>\n  <spine>") + spine +
           QLatin1String("</spine>\n</package>");
}

} // namespace

namespace EPUB {

void write(const QString& title, const QList<Chapter>& chapters, const QString& path,
           const QList<Resource>& resources)
{
    QMap<QString, QByteArray> parts{{QStringLiteral("META-INF/container.xml"), QByteArray(container.data())}};
    QString items, spine, toc;
    for (qsizetype i = 0; i < chapters.size(); ++i) {
        const QString file = chapterFile(i + 1), id = QLatin1Char('c') + QString::number(i + 1);
        parts.insert(QLatin1String("OEBPS/") + file, chapterDocument(chapters.at(i)).toUtf8());
        items += QLatin1String("<item id=\"") + id + QLatin1String("\" href=\"") + file +
                 QLatin1String("\" media-type=\"application/xhtml+xml\"/>\n");
        spine += QLatin1String("<itemref idref=\"") + id + QLatin1String("\"/>\n");
        toc += QLatin1String("<li><a href=\"") + file + QLatin1String("\">") +
               xmlEscaped(chapters.at(i).title) + QLatin1String("</a></li>\n");
    }
    for (qsizetype i = 0; i < resources.size(); ++i) {
        const Resource& r = resources.at(i);
        parts.insert(QLatin1String("OEBPS/") + r.href, r.bytes);
        items += QLatin1String("<item id=\"r") + QString::number(i + 1) + QLatin1String("\" href=\"") +
                 xmlEscaped(r.href) + QLatin1String("\" media-type=\"") + xmlEscaped(r.mediaType) +
                 QLatin1String("\"/>\n");
    }
    parts.insert(QStringLiteral("OEBPS/nav.xhtml"),
                 (xhtmlHead + xmlEscaped(title) +
                  QLatin1String("</title></head>\n<body><nav epub:type=\"toc\"><h1>Contents</h1><ol>") + toc +
                  QLatin1String("</ol></nav></body></html>"))
                     .toUtf8());
    parts.insert(QStringLiteral("OEBPS/content.opf"), packageDocument(title, items, spine).toUtf8());
    Zip::write(parts, path, QStringLiteral("application/epub+zip"));
}

} // namespace EPUB
