#include "tools/pdf/merge/mergepdfview.h"

#include "core/fmt.h"
#include "core/progress.h"
#include "engines/heavyengines.h"
#include "toolkit/orderlist.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"

#include <QScrollArea>
#include <QVBoxLayout>

MergePDFView::MergePDFView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : ToolView(std::move(context), parent), m_list(new OrderList(this->context().urls(), detail))
{
    column()->setSpacing(10);
    column()->addWidget(
        new TextLabel(QStringLiteral("Drag to change the order."), 12, QFont::Normal, Theme::inkSoft()));
    auto* scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    scroll->setStyleSheet(
        QStringLiteral("QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"));
    m_list->setAutoFillBackground(false);
    scroll->setWidget(m_list);
    column()->addWidget(scroll, 1);
    connect(m_list, &OrderList::dragMoved, scroll,
            [scroll](QPoint at) { scroll->ensureVisible(at.x(), at.y(), 0, 24); });
    primary(QStringLiteral("Merge %1 PDFs").arg(this->context().urls().size()));
}

QString MergePDFView::detail(const QString& path)
{
    int pages = 0;
    try {
        pages = Modules::entries<HeavyEngines>().pdfPageCount(path);
    } catch (const std::exception&) {
        pages = 0;
    }
    return QStringLiteral("%1 page%2 · %3")
        .arg(pages)
        .arg(pages == 1 ? QString() : QStringLiteral("s"))
        .arg(Fmt::byteCount(Fmt::fileSize(path)));
}

void MergePDFView::apply()
{
    const QStringList files = m_list->urls();
    if (files.isEmpty()) return;
    context().runOnce(QStringLiteral("Merging PDFs"), QStringLiteral("%1 files").arg(files.size()),
                      [files](Job& job, const Progress& progress) {
                          return Modules::entries<HeavyEngines>().mergePDFs(files, job, progress);
                      });
}
