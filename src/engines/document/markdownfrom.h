#pragma once

#include <QString>

class QTextDocument;

namespace Markdown {

// Markdown text of a document, ending with one line feed: headings from heading levels or font
// sizes against the body size, bold, italic and links as marks, list items as "- " or "1. ".
// Blocks are separated by a blank line; a block marker that opens a line of text is escaped.
QString from(const QTextDocument& document);

} // namespace Markdown
