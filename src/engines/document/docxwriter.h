#pragma once

#include <QString>

class QTextDocument;

namespace Doc {

// Writes `document` as a Word document at `path`: paragraphs with alignment, spacing, indents,
// headings and page breaks; runs with font family, size, bold, italic, underline, strike-through,
// colour and super- or subscript; numbered and bulleted lists; tables with merged cells; pictures;
// links to addresses and to places in the document. Pages follow Doc::pageSize(). Throws
// ConvertError when the file cannot be written.
void writeDOCX(const QTextDocument& document, const QString& path);

} // namespace Doc
