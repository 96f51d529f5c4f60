#pragma once

#include "core/progress.h"

#include <QImage>
#include <QMap>
#include <QString>
#include <memory>
#include <mutex>
#include <optional>

class Job;
class PageCheck;
namespace Poppler {
class Document;
class Page;
} // namespace Poppler

// The pages of one PDF that could not be read whole while they were rendered or their text read,
// and whether anything came out of each, by their place in the file's page tree: told to the job
// as notes, or as the failure when no page could be read at all.
class DamagedPages
{
  public:
    enum class Kind { pictures, text };

    // `pdf` is the file `doc` has opened: the file the user dropped or a copy made of it; `file`
    // is the name the notes give the document: the file the user dropped. Throws ConvertError
    // "<file> is damaged: none of its pages could be read" when the document names no page that
    // can be read (a page tree that is missing, or whose pages Poppler can't reach), and
    // "<file> has no pages" when it is a sound document without pages.
    DamagedPages(const QString& file, Kind kind, const QString& pdf, const Poppler::Document& doc);
    ~DamagedPages();

    // How many pages the document names.
    int count() const;

    // Any thread: Poppler's index of page `index` (from 0, in the file's order), which `doc` and
    // every other reader of the same file give it; none, noted as a page that could not be read,
    // when Poppler has no page for it.
    std::optional<int> shown(int index);
    // Any thread: page `index` from `doc`, a document of the same file; none, noted, when it
    // can't be read.
    std::unique_ptr<Poppler::Page> page(const Poppler::Document& doc, int index);

    // Any thread: page `index` could not be read.
    void addMissing(int index);
    // Any thread: whether page `index` was found to be one that can't be read.
    bool isMissing(int index) const;

    // Any thread: page `index` is damaged; `empty` when nothing of it came out.
    void add(int index, bool empty);

    // Any thread: whether page `index` draws an embedded font or picture that is damaged in a way
    // Poppler draws without a complaint (see PageCheck::drawsDamage).
    bool drawsDamage(int index);

    // Any thread: PDFEngine::render() of page `index`, added here when Poppler could not read it
    // whole or it draws a damaged font or picture.
    QImage rendered(const Poppler::Page& page, int index, double dpi);

    // Draws every page small, side by side (PDFEngine::eachPage, with documents of their own
    // opened from `pdf`), to learn which pages can't be read or not whole, as a copy that keeps
    // the pages as they are would hold them. Progress goes to 1 as pages are drawn; throws
    // ConvertError::cancelled when `job` is cancelled.
    void drawEvery(const Poppler::Document& doc, const QString& pdf, Job& job, const Progress& progress);

    // Throws ConvertError "<file> is damaged: none of its pages could be read" when no page
    // could be read or came out with anything; otherwise adds a note to `job` for the pages that
    // could not be read ("Page 2 of <file> is damaged: it could not be read"), one for those that
    // came out empty ("… it came out blank") and one for those that came out in part.
    void report(Job& job) const;

    // Whether `image` holds nothing but white.
    static bool blank(const QImage& image);

  private:
    const QString m_file;
    const Kind m_kind;
    std::unique_ptr<PageCheck> m_check; // its reads guarded by m_checkLock
    std::mutex m_checkLock;
    mutable std::mutex m_lock; // guards m_pages
    QMap<int, bool> m_pages;   // index → came out empty
    QList<int> m_missing;      // pages that could not be read, guarded by m_lock
};
