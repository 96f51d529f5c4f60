#pragma once

#include <QString>
#include <QStringList>

// The character rules by which page text is measured and cut into lines.
namespace PDFText {

// Unicode space separators and the tab.
bool isWhitespace(QChar c);
// Line feed, vertical tab, form feed, carriage return, next line, line and paragraph separator.
bool isNewline(QChar c);

// `text` without whitespace at either end, and without newlines as well when `newlines`.
QString trimmed(const QString& text, bool newlines = false);

// The number of user-perceived characters (grapheme clusters).
qsizetype characterCount(const QString& text);

// The lines of `text`, cut at every newline character on its own (so "\r\n" leaves an empty
// line between its parts); "" gives no lines.
QStringList lines(const QString& text);

// Whether `text` has more than three characters besides whitespace and newlines.
bool hasText(const QString& text);

} // namespace PDFText
