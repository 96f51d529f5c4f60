#pragma once

#include <QString>
#include <QTextDocument>
#include <memory>

namespace Doc {

// `text` as a document in the plain style: Helvetica 12 pt in black, 6 pt after each paragraph.
std::unique_ptr<QTextDocument> plainAttributed(const QString& text);

// The document's text: paragraphs, line breaks and table cells end in "\n"; no-break spaces
// and other characters are kept as they are; pictures leave nothing.
QString plainString(const QTextDocument& document);

} // namespace Doc
