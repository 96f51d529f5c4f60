#include "tools/pdf/organize/organizepdfview.h"

#include "core/progress.h"
#include "toolkit/loadingview.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"
#include "tools/pdf/organize/organizepdfwork.h"
#include "tools/pdf/organize/pagegrid.h"
#include "tools/pdf/organize/pagelist.h"
#include "tools/pdf/organize/pagethumbs.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QStackedLayout>

namespace {

// The grid's scrolling area over its soft rounded backdrop.
class GridBackdrop : public QWidget
{
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), 14, 14);
        painter.fillPath(shape, QColor::fromRgbF(0.55f, 0.3f, 0.2f, 0.1f));
    }
};

} // namespace

OrganizePDFView::OrganizePDFView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : ToolView(std::move(context), parent),
      m_thumbs(new PageThumbs(this->context().urls().value(0), pictureBox, this)), m_list(new PageList(this)),
      m_reset(new SecondaryButton(QStringLiteral("Reset")))
{
    addSource(m_thumbs);
    column()->setSpacing(12);
    auto* hint =
        new TextLabel(QStringLiteral("Click to select (Ctrl-click for several). Drag pages to reorder."),
                      11.5, QFont::Normal, Theme::inkSoft());
    column()->addWidget(hint);
    column()->addWidget(toolbar());
    column()->addWidget(gridArea(), 1);
    footer()->addWidget(m_reset);
    primary(QStringLiteral("Save Organized PDF"));

    connect(m_reset, &SecondaryButton::clicked, this,
            [this] { m_list->reset(m_thumbs->pageCount().value_or(0)); });
    connect(m_rotateLeft, &SecondaryButton::clicked, m_list, [this] { m_list->rotate(-90); });
    connect(m_rotateRight, &SecondaryButton::clicked, m_list, [this] { m_list->rotate(90); });
    connect(m_duplicate, &SecondaryButton::clicked, m_list, &PageList::duplicate);
    connect(m_delete, &SecondaryButton::clicked, m_list, &PageList::remove);
    connect(m_grid, &PageGrid::tapped, m_list, &PageList::tap);
    connect(m_grid, &PageGrid::dragEntered, m_list, &PageList::dragEntered);
    connect(m_grid, &PageGrid::dragMoved, this,
            [this](QPoint at) { m_scroll->ensureVisible(at.x(), at.y(), 0, 48); });
    connect(m_list, &PageList::changed, this, &OrganizePDFView::showState);
    connect(m_thumbs, &PageThumbs::counted, this, &OrganizePDFView::counted);
    // Pictures of a closed window's pages would never be seen.
    connect(this, &FramedView::closed, m_thumbs, &PageThumbs::stop);
    showState();
}

QWidget* OrganizePDFView::toolbar()
{
    auto* owner = new QWidget;
    auto* layout = new QHBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    m_rotateLeft = new SecondaryButton(QStringLiteral("Rotate Left"), QStringLiteral("rotate.left"));
    m_rotateRight = new SecondaryButton(QStringLiteral("Rotate Right"), QStringLiteral("rotate.right"));
    m_duplicate = new SecondaryButton(QStringLiteral("Duplicate"), QStringLiteral("plus.square.on.square"));
    m_delete = new SecondaryButton(QStringLiteral("Delete"), QStringLiteral("trash"));
    for (SecondaryButton* button : {m_rotateLeft, m_rotateRight, m_duplicate, m_delete})
        layout->addWidget(button);
    layout->addStretch(1);
    m_counter = new TextLabel(QString(), 12, QFont::Normal, Theme::inkSoft());
    layout->addWidget(m_counter);
    return owner;
}

QWidget* OrganizePDFView::gridArea()
{
    auto* backdrop = new GridBackdrop;
    m_stack = new QStackedLayout(backdrop);
    m_scroll = new QScrollArea;
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_scroll->setStyleSheet(
        QStringLiteral("QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"));
    m_grid = new PageGrid(*m_list, *m_thumbs);
    m_grid->setAutoFillBackground(false);
    m_scroll->setWidget(m_grid);
    m_error = new LoadingView;
    m_stack->addWidget(m_scroll);
    m_stack->addWidget(m_error);
    return backdrop;
}

void OrganizePDFView::counted()
{
    if (const std::optional<QString> error = m_thumbs->error()) {
        m_error->setError(error);
        m_stack->setCurrentWidget(m_error);
    }
    m_list->reset(m_thumbs->pageCount().value_or(0));
}

void OrganizePDFView::showState()
{
    const qsizetype selected = m_list->selection().size();
    m_rotateLeft->setEnabled(selected > 0);
    m_rotateRight->setEnabled(selected > 0);
    m_duplicate->setEnabled(selected > 0);
    m_delete->setEnabled(m_list->canDelete());
    m_counter->setText(QStringLiteral("%1 pages").arg(m_list->pages().size()));
}

void OrganizePDFView::apply()
{
    const QString file = context().urls().value(0);
    const std::vector<PageChoice> pages = m_list->choices();
    if (pages.empty()) return;
    context().runOnce(QStringLiteral("Organizing PDF"), std::nullopt,
                      [file, pages](Job& job, const Progress& progress) {
                          return OrganizePDFWork::organize(file, pages, job, progress);
                      });
}
