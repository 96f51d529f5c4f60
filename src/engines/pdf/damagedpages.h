#pragma once

#include <QImage>
#include <QMap>
#include <QString>
#include <mutex>

class Job;
namespace Poppler {
class Page;
}

// The pages of one PDF that Poppler could not read whole while they were rendered or their text
// read, and whether anything came out of each: told to the job as notes, or as the failure when
// no page could be read at all.
class DamagedPages
{
  public:
    enum class Kind { pictures, text };

    // `file` is the name the notes give the document: the file the user dropped.
    DamagedPages(const QString& file, Kind kind);

    // Any thread: page `index` (from 0) is damaged; `empty` when nothing of it came out.
    void add(int index, bool empty);

    // PDFEngine::render() of page `index`, added here when Poppler could not read it whole.
    QImage rendered(const Poppler::Page& page, int index, double dpi);

    // Throws ConvertError "<file> is damaged: none of its pages could be read" when all `pages`
    // pages are damaged and came out empty; otherwise adds a note to `job` for the pages that
    // came out empty ("Page 2 of <file> is damaged: it came out blank") and one for those that
    // came out in part.
    void report(int pages, Job& job) const;

    // Whether `image` holds nothing but white.
    static bool blank(const QImage& image);

  private:
    const QString m_file;
    const Kind m_kind;
    mutable std::mutex m_lock; // guards m_pages
    QMap<int, bool> m_pages;   // index → came out empty
};
