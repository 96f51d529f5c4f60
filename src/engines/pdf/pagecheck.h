#pragma once

#include <QString>
#include <memory>
#include <optional>

namespace Poppler {
class Document;
}

// A PDF's pages as its page tree names them, read with qpdf beside Poppler. Poppler passes over
// a page whose object is missing and moves the pages after it up, and it draws without a
// complaint an embedded font whose tables can't be followed or a picture whose data are damaged; this tells
// those pages by their place in the file. Not thread-safe.
class PageCheck
{
  public:
    // `pdf` is the file `doc` has opened.
    PageCheck(const QString& pdf, const Poppler::Document& doc);
    ~PageCheck();
    PageCheck(const PageCheck&) = delete;
    PageCheck& operator=(const PageCheck&) = delete;

    // How many pages the document names: as many as Poppler reads, or as qpdf finds in the page
    // tree where that is more; 0 for one without pages or without a page tree.
    int count() const;
    // Whether the document names no page that can be read although it is not a sound document
    // without pages: its page tree is missing, or Poppler reads none of the pages qpdf finds.
    bool lost() const;
    // Poppler's index of page `index` (from 0, in the file's order); none when Poppler has no
    // page for it.
    std::optional<int> shown(int index) const;
    // Whether page `index` draws, itself or through the forms and patterns it draws, an embedded
    // TrueType font whose tables can't be followed, a JPEG picture whose decoder warns of damage,
    // or a picture whose compressed data don't inflate to their end. Each font and picture is
    // read once.
    bool drawsDamage(int index);

  private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
