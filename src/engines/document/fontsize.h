#pragma once

class QTextCharFormat;
class QTextDocument;

// Font sizes of documents read into a QTextDocument, in points.
namespace Doc {

// The point size `format` is drawn at in `document`: its own size (pixel sizes count 0.75 pt
// each, at CSS's 96 pixels per inch) or else the document's default font size.
double pointSize(const QTextCharFormat& format, const QTextDocument& document);

// The most frequent point size of the text, rounded to whole points and weighed by characters;
// 12 for a document without text.
double bodyFontSize(const QTextDocument& document);

} // namespace Doc
