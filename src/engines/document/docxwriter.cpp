#include "engines/document/docxwriter.h"

#include "core/xml.h"
#include "core/zip.h"
#include "engines/document/docxbody.h"
#include "engines/document/docxparts.h"
#include "engines/document/pdfwriter.h"
#include "engines/package/ooxml.h"
#include "engines/package/ooxmlparts.h"

#include <QSet>
#include <QTextDocument>

namespace {

using namespace OOXML::Parts;

QString contentTypes(const DocxBody& body)
{
    QString xml = contentTypesStart();
    QSet<QString> extensions;
    for (const DocxBody::Media& media : body.media())
        extensions.insert(media.file.section(QLatin1Char('.'), -1));
    for (const QString& ext : extensions)
        xml += QLatin1String("<Default Extension=\"") + ext + QLatin1String("\" ContentType=\"image/") + ext +
               QLatin1String("\"/>");
    xml +=
        override_(QStringLiteral("/word/document.xml"),
                  QLatin1String(
                      "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml")) +
        override_(
            QStringLiteral("/word/styles.xml"),
            QLatin1String("application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml")) +
        override_(
            QStringLiteral("/word/numbering.xml"),
            QLatin1String("application/vnd.openxmlformats-officedocument.wordprocessingml.numbering+xml"));
    return xml + contentTypesEnd();
}

QString documentRelationships(const DocxBody& body)
{
    QString xml =
        relationshipsStart() +
        relationship(QStringLiteral("rStyles"), QLatin1String("/styles"), QStringLiteral("styles.xml")) +
        relationship(QStringLiteral("rNumbering"), QLatin1String("/numbering"),
                     QStringLiteral("numbering.xml"));
    for (const DocxBody::Link& link : body.links())
        xml += QLatin1String("<Relationship Id=\"") + link.id + QLatin1String("\" Type=\"") + relNS +
               QLatin1String("/hyperlink\" Target=\"") + xmlEscaped(link.target) +
               QLatin1String("\" TargetMode=\"External\"/>");
    for (const DocxBody::Media& media : body.media())
        xml += relationship(media.id, QLatin1String("/image"), media.file);
    return xml + QLatin1String("</Relationships>");
}

} // namespace

namespace Doc {

void writeDOCX(const QTextDocument& document, const QString& path)
{
    const QSizeF page = pageSize();
    const DocxBody body(document, page.width() - 128);
    QMap<QString, QByteArray> parts =
        OOXML::docProps(document.metaInformation(QTextDocument::DocumentTitle), QStringLiteral("Tolvane"));
    parts.insert(QStringLiteral("[Content_Types].xml"), contentTypes(body).toUtf8());
    parts.insert(QStringLiteral("_rels/.rels"),
                 packageRelationships(QStringLiteral("word/document.xml")).toUtf8());
    parts.insert(QStringLiteral("word/_rels/document.xml.rels"), documentRelationships(body).toUtf8());
    parts.insert(QStringLiteral("word/document.xml"),
                 (DocxParts::documentStart() + body.xml() + DocxParts::section(page) +
                  QLatin1String("</w:body></w:document>"))
                     .toUtf8());
    parts.insert(QStringLiteral("word/styles.xml"), DocxParts::styles().toUtf8());
    parts.insert(QStringLiteral("word/numbering.xml"), DocxParts::numbering(body.lists()).toUtf8());
    for (const DocxBody::Media& media : body.media())
        parts.insert(QLatin1String("word/") + media.file, media.bytes);
    Zip::write(parts, path);
}

} // namespace Doc
