#pragma once

#include <QString>
#include <memory>
#include <optional>

namespace poppler {
class document;
}

namespace PDFEngine {

// The text of a PDF's pages as laid out on the page: each line of the page one line of text,
// words placed in columns by runs of spaces, so that table columns stay apart. Reads through a
// Poppler document of its own, which must stay on the thread that opened it.
class LayoutText
{
  public:
    // Throws ConvertError "Couldn’t open <file name>" when the file can't be read or is locked.
    explicit LayoutText(const QString& path);
    ~LayoutText();
    LayoutText(const LayoutText&) = delete;
    LayoutText& operator=(const LayoutText&) = delete;

    // Page `index`'s text; none when the document has no such page.
    std::optional<QString> page(int index) const;

  private:
    std::unique_ptr<poppler::document> m_doc;
};

} // namespace PDFEngine
