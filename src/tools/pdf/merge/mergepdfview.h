#pragma once

#include "toolkit/toolview.h"

#include <optional>

class OrderList;
template <class T> class FileFacts;

// The Merge PDFs window: the dropped PDFs in an order the user arranges, each with its page
// count and size; merging writes every page of them, in that order, into "<first> Merged.pdf".
// The page counts are read in the background: the window settles once they have all arrived.
class MergePDFView : public ToolView
{
    Q_OBJECT
  public:
    explicit MergePDFView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);

    OrderList* list() const { return m_list; }

    // The file's page count, 0 when it can't be read. Blocks; any thread.
    static int pageCount(const QString& path);
    // "12 pages · 1.4 MB": the page count and the file's size; the size alone while the count
    // is not known yet.
    static QString detail(const QString& path, std::optional<int> pages);

  protected:
    void apply() override;

  private:
    FileFacts<int>* m_pages;
    OrderList* m_list;
};
