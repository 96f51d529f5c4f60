#include "engines/document/docxwriter.h"

#include "core/xml.h"
#include "core/zip.h"

#include <QColor>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

namespace {

const char* const contentTypes =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    "\n"
    R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
    R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
    R"(<Default Extension="xml" ContentType="application/xml"/>)"
    R"(<Override PartName="/word/document.xml" )"
    R"(ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/>)"
    R"(</Types>)";

const char* const packageRelationships =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    "\n"
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" )"
    R"(Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" )"
    R"(Target="word/document.xml"/></Relationships>)";

QString runProperties(const QTextCharFormat& f)
{
    QString p;
    const QStringList families = f.fontFamilies().toStringList();
    if (!families.isEmpty()) {
        const QString family = xmlEscaped(families.first());
        p += QStringLiteral(R"(<w:rFonts w:ascii="%1" w:hAnsi="%1" w:cs="%1"/>)").arg(family);
    }
    if (f.fontWeight() >= QFont::Bold) p += QStringLiteral("<w:b/>");
    if (f.fontItalic()) p += QStringLiteral("<w:i/>");
    if (f.fontStrikeOut()) p += QStringLiteral("<w:strike/>");
    if (f.fontUnderline()) p += QStringLiteral(R"(<w:u w:val="single"/>)");
    if (f.foreground().style() != Qt::NoBrush)
        p += QStringLiteral(R"(<w:color w:val="%1"/>)").arg(f.foreground().color().name().mid(1).toUpper());
    if (f.fontPointSize() > 0)
        p += QStringLiteral(R"(<w:sz w:val="%1"/>)").arg(qRound(f.fontPointSize() * 2)); // half-points
    return p.isEmpty() ? p : QStringLiteral("<w:rPr>") + p + QStringLiteral("</w:rPr>");
}

// The run's text, tabs and line breaks as WordprocessingML elements.
QString runContent(const QString& text)
{
    QString out, pending;
    const auto flush = [&] {
        if (!pending.isEmpty())
            out += QStringLiteral(R"(<w:t xml:space="preserve">)") + xmlEscaped(pending) + "</w:t>";
        pending.clear();
    };
    for (const QChar c : text) {
        if (c == QLatin1Char('\t')) {
            flush();
            out += QStringLiteral("<w:tab/>");
        } else if (c == QChar::LineSeparator || c == QLatin1Char('\n')) {
            flush();
            out += QStringLiteral("<w:br/>");
        } else {
            pending += c;
        }
    }
    flush();
    return out;
}

QString paragraph(const QTextBlock& block)
{
    QString p = QStringLiteral("<w:p>");
    const double after = block.blockFormat().bottomMargin();
    if (after > 0) p += QStringLiteral(R"(<w:pPr><w:spacing w:after="%1"/></w:pPr>)").arg(qRound(after * 20));
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (fragment.isValid())
            p += QStringLiteral("<w:r>") + runProperties(fragment.charFormat()) +
                 runContent(fragment.text()) + QStringLiteral("</w:r>");
    }
    return p + QStringLiteral("</w:p>");
}

} // namespace

namespace Doc {

void writeDOCX(const QTextDocument& document, const QString& path)
{
    QString body;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        body += paragraph(block);
    const QString xml =
        QStringLiteral(
            R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
            "\n"
            R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main">)"
            "<w:body>") +
        body + QStringLiteral("</w:body></w:document>");
    Zip::write({{QStringLiteral("[Content_Types].xml"), QByteArray(contentTypes)},
                {QStringLiteral("_rels/.rels"), QByteArray(packageRelationships)},
                {QStringLiteral("word/document.xml"), xml.toUtf8()}},
               path);
}

} // namespace Doc
