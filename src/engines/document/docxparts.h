#pragma once

#include <QList>
#include <QSizeF>
#include <QString>
#include <QTextListFormat>

// The fixed parts of the Word documents Doc::writeDOCX makes.
namespace DocxParts {

// "word/styles.xml": the normal paragraph (12 pt, no spacing) and six headings.
QString styles();

// "word/numbering.xml": one numbering per list, numbered from 1, each with nine levels of its style.
QString numbering(const QList<QTextListFormat::Style>& lists);

// The section properties closing the body: `page` in points with 64-point margins.
QString section(const QSizeF& page);

// The opening of "word/document.xml", up to and including "<w:body>".
QString documentStart();

} // namespace DocxParts
