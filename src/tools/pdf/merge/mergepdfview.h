#pragma once

#include "toolkit/toolview.h"

class OrderList;

// The Merge PDFs window: the dropped PDFs in an order the user arranges, each with its page
// count and size; merging writes every page of them, in that order, into "<first> Merged.pdf".
class MergePDFView : public ToolView
{
    Q_OBJECT
  public:
    explicit MergePDFView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);

    OrderList* list() const { return m_list; }

    // "12 pages · 1.4 MB": the page count (0 when the file can't be read) and the file's size.
    static QString detail(const QString& path);

  protected:
    void apply() override;

  private:
    OrderList* m_list;
};
