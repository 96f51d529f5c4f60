#pragma once

#include <QList>
#include <QString>
#include <memory>
#include <optional>

namespace PDFEngine {

// The font of a stretch of page text: [start, end) in UTF-16 units, the size as drawn (the
// font size scaled by the text and drawing transforms) and whether the font is a bold face.
struct FontRun
{
    qsizetype start = 0;
    qsizetype end = 0;
    double size = 0;
    bool bold = false;
    bool operator==(const FontRun&) const = default;
};

// One page's text layer: the text in reading order, a line feed between lines, untrimmed, with
// line-end hyphens kept; and the fonts over that same text.
struct PageText
{
    QString text;
    QList<FontRun> runs;
};

// The text layer of a PDF, read through a Poppler document of its own. Like every Poppler
// document it must stay on the thread that opened it.
class TextLayer
{
  public:
    // Throws ConvertError "Couldn’t open <file name>" when the file can't be read and
    // "<file name> is password-protected" when it is locked.
    explicit TextLayer(const QString& path);
    ~TextLayer();
    TextLayer(const TextLayer&) = delete;
    TextLayer& operator=(const TextLayer&) = delete;

    int pageCount() const;
    // The text and fonts of page `index`; none when the document has no such page. Words that
    // stand apart on the page are never run together: where the reading order puts two
    // separate words side by side without a space (cells of a table), a space is put between.
    // A page that holds right-to-left script is read from its words instead (WordText), each line
    // in the order it is read.
    std::optional<PageText> page(int index) const;
    // The text alone, as `page` gives it; "" for a missing page.
    QString text(int index) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Whether a font of this name (with or without its "ABCDEF+" subset tag) is a bold face.
bool isBoldFont(const QString& name);

} // namespace PDFEngine
