#pragma once

#include "core/shell.h"

#include <QString>
#include <memory>
#include <optional>

class Job;

namespace PDFEngine {

// How many pages a PDF's page tree holds, counted by qpdf in a process of its own while the
// caller reads the file with Poppler. Poppler takes the count the tree states at its word, so the
// pages of a tree that holds more than it counts are never shown there; qpdf walks the tree. A
// process and not a thread: a thread of its own would slow every allocation Poppler makes after.
class PageTreeCount
{
  public:
    // Starts counting the pages of `path`; cancelling `job` ends the count.
    PageTreeCount(const QString& path, Job& job);
    // A count still running is ended.
    ~PageTreeCount();
    PageTreeCount(const PageTreeCount&) = delete;
    PageTreeCount& operator=(const PageTreeCount&) = delete;

    // Whether qpdf could be started: false when it is not installed.
    bool started() const;
    // Waits for the count: the pages the tree holds; none when qpdf can't be started or
    // can't read the file or its page tree. Throws ConvertError::cancelled() when the job was
    // cancelled during the count.
    std::optional<int> pages();

  private:
    std::shared_ptr<int> m_listed; // the pages qpdf has listed so far
    std::optional<Shell::Started> m_qpdf;
    std::optional<int> m_pages; // once the count has ended
};

} // namespace PDFEngine
