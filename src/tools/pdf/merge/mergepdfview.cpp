#include "tools/pdf/merge/mergepdfview.h"

#include "core/fmt.h"
#include "core/progress.h"
#include "engines/heavyengines.h"
#include "toolkit/filefacts.h"
#include "toolkit/orderlist.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"
#include "tools/pdf/merge/mergepdfwork.h"

#include <QVBoxLayout>

MergePDFView::MergePDFView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : ToolView(std::move(context), parent), m_pages(new FileFacts<int>(pageCount, this)),
      m_list(new OrderList(this->context().urls(),
                           [this](const QString& path) { return detail(path, m_pages->fact(path)); }))
{
    addSource(m_pages);
    column()->setSpacing(10);
    column()->addWidget(
        new TextLabel(QStringLiteral("Drag to change the order."), 12, QFont::Normal, Theme::inkSoft()));
    column()->addWidget(m_list->scrolled(), 1);
    primary(QStringLiteral("Merge %1 PDFs").arg(this->context().urls().size()));
    connect(m_pages, &FactReader::published, m_list, &OrderList::refreshDetails);
    m_pages->request(this->context().urls());
}

int MergePDFView::pageCount(const QString& path)
{
    try {
        return Modules::entries<HeavyEngines>().pdfPageCount(path);
    } catch (const std::exception&) {
        return 0;
    }
}

QString MergePDFView::detail(const QString& path, std::optional<int> pages)
{
    const QString size = Fmt::byteCount(Fmt::fileSize(path));
    if (!pages) return size;
    return QStringLiteral("%1 page%2 · %3")
        .arg(*pages)
        .arg(*pages == 1 ? QString() : QStringLiteral("s"))
        .arg(size);
}

void MergePDFView::apply()
{
    const QStringList files = m_list->urls();
    if (files.isEmpty()) return;
    context().runOnce(
        QStringLiteral("Merging PDFs"), QStringLiteral("%1 files").arg(files.size()),
        [files](Job& job, const Progress& progress) { return MergePDFWork::merge(files, job, progress); });
}
