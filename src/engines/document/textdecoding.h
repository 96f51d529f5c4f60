#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Text files of unknown encoding, as people save them.
namespace Doc {

// `bytes` as text: by their byte-order mark, else as UTF-8 when they are valid UTF-8, else (for
// HTML) by the charset their meta tag names, else as the shared text reader (TextFile::decode)
// reads them. The mark is not part of the text.
QString decodeText(const QByteArray& bytes, bool html);

// `bytes` as UTF-8 (a leading byte-order mark dropped), or nothing when they are not valid UTF-8.
std::optional<QString> decodeUTF8(const QByteArray& bytes);

// `text` with every "\r\n" and lone "\r" turned into "\n".
QString unixLineEnds(QString text);

} // namespace Doc
