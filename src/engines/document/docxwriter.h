#pragma once

#include <QString>

class QTextDocument;

namespace Doc {

// Writes `document` as a Word document at `path`: its paragraphs with their spacing after and
// runs with font family, size, bold, italic, underline, strike-through and colour. Throws
// ConvertError when the file cannot be written.
void writeDOCX(const QTextDocument& document, const QString& path);

} // namespace Doc
