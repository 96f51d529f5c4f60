#pragma once

#include <QString>
#include <future>
#include <optional>

namespace PDFEngine {

// How many pages a PDF's page tree holds, counted by qpdf on a thread of its own while the
// caller reads the file with Poppler. Poppler takes the count the tree states at its word, so the
// pages of a tree that holds more than it counts are never shown there; qpdf walks the tree.
// qpdf is loaded on that thread the first time, so that reading an ordinary document never waits
// for it to load.
class PageTreeCount
{
  public:
    // Starts counting the pages of `path`.
    explicit PageTreeCount(const QString& path);
    // Waits for the count to end.
    ~PageTreeCount();
    PageTreeCount(const PageTreeCount&) = delete;
    PageTreeCount& operator=(const PageTreeCount&) = delete;

    // Whether the count has ended, without waiting.
    bool ready() const;
    // Waits for the count: the pages the tree holds; none when qpdf can't be loaded or can't
    // read the file or its page tree.
    std::optional<int> pages() const;

  private:
    std::shared_future<std::optional<int>> m_pages;
};

} // namespace PDFEngine
