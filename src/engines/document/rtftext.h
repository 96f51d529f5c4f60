#pragma once

#include <QByteArray>
#include <QString>

namespace Doc {

// The plain text of an RTF document: paragraphs and line breaks as "\n", tabs kept, hex and
// Unicode escapes decoded; font tables, pictures, field instructions and other hidden groups
// left out. Formatting is dropped. Any bytes give some text.
QString rtfText(const QByteArray& rtf);

} // namespace Doc
