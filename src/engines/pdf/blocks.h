#pragma once

#include "core/progress.h"
#include "engines/pdftext/textlayer.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

class Job;
class QTextDocument;
namespace Poppler {
class Document;
}

// The simple structure rebuilt from a PDF's text: headings, paragraphs, bullet items and page
// boundaries, and the three forms it is written in.
namespace PDFEngine {

struct Block
{
    enum class Kind { heading, paragraph, bullet, pageBreak };
    Kind kind = Kind::paragraph;
    int level = 0; // 1…3 for a heading
    QString text;  // without the bullet glyph; empty for a page break

    static Block heading(int level, const QString& text) { return {Kind::heading, level, text}; }
    static Block paragraph(const QString& text) { return {Kind::paragraph, 0, text}; }
    static Block bullet(const QString& text) { return {Kind::bullet, 0, text}; }
    static Block pageBreak() { return {Kind::pageBreak, 0, {}}; }
    bool operator==(const Block&) const = default;
};

// What was read of one page: its text, and the fonts over it when it came from the text layer
// (recognised text of a scanned page has none, so it never gives headings).
struct PageEntry
{
    QString text;
    std::optional<QList<FontRun>> runs;
};

// The blocks of the document: every page read through `layer` (scanned pages through text
// recognition), then cut into blocks. Progress reaches 0.5 when the pages are read. Throws
// ConvertError::cancelled() when `job` is cancelled, checked after each page. Damaged pages are
// told of as texts() tells them, by their number in `source`.
QList<Block> blocks(const QString& source, const Poppler::Document& doc, const TextLayer& layer, Job& job,
                    const Progress& progress);

// The blocks of pages already read: headings by size against the most common text size (or
// short bold lines), bullets by their glyph, lines joined into paragraphs with line-end
// hyphenation undone, a page break between pages.
QList<Block> blocks(const QList<PageEntry>& pages);

// The text size most characters are set in, by whole points (runs without a size count as 12);
// 12 when no page has fonts. Of equally common sizes the smaller wins.
double bodySize(const QList<PageEntry>& pages);

// Markdown: "#" marks for headings, "- " for bullets, blank lines between blocks, one final line
// feed. The text is not escaped.
QString markdown(const QList<Block>& blocks);

// The blocks as styled paragraphs in `document` (emptied first): Helvetica 11 pt text, bold
// headings of 20, 16 or 13 pt, hanging-indented "•" items; an empty paragraph for a page break.
void attributed(const QList<Block>& blocks, QTextDocument& document);

// An HTML fragment: h1…h3, p, and one ul around each run of bullet items; text escaped.
QString html(const QList<Block>& blocks);

} // namespace PDFEngine
