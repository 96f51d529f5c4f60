#pragma once

#include <QString>

class QTextDocument;

namespace Doc {

// Writes `document` as an HTML page titled `title` (escaped) at `path`, its pictures embedded
// as data addresses so that the page stands alone. Throws ConvertError when it can't be written.
void writeHTML(const QTextDocument& document, const QString& title, const QString& path);

// Writes `text` as UTF-8, without a byte-order mark, at `path`. Throws ConvertError.
void writeUTF8(const QString& text, const QString& path);

} // namespace Doc
