#pragma once

#include "engines/pdftext/textlayer.h"

#include <QString>
#include <memory>
#include <optional>

namespace poppler {
class document;
}

namespace PDFEngine {

// A PDF's page text rebuilt from its words, line by line in the order the lines are read, for
// pages that hold right-to-left scripts: their characters stand on the page from left to right,
// and the selection TextLayer reads through loses or reverses such lines. Reads through a Poppler
// document of its own, which must stay on the thread that opened it.
class WordText
{
  public:
    // None when the file can't be read.
    static std::unique_ptr<WordText> open(const QString& path);
    ~WordText();
    WordText(const WordText&) = delete;
    WordText& operator=(const WordText&) = delete;

    // Page `index`'s text and fonts as TextLayer::page gives them, each line in the order it is
    // read; none when the document has no such page.
    std::optional<PageText> page(int index) const;

  private:
    explicit WordText(std::unique_ptr<poppler::document> doc);
    std::unique_ptr<poppler::document> m_doc;
};

} // namespace PDFEngine
