#include "app/shelfview.h"

#include "app/dragallhandle.h"
#include "app/floatshelf.h"
#include "app/shelfpainter.h"
#include "app/shelfrow.h"
#include "toolkit/theme.h"

#include <QDragEnterEvent>
#include <QHelpEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QToolTip>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

namespace {

QStringList localFiles(const QMimeData* data)
{
    QStringList files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) files << url.toLocalFile();
    return files;
}

QWidget* divider(QWidget* parent)
{
    auto* line = new QWidget(parent);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    QColor colour = Theme::inkSoft();
    colour.setAlphaF(0.25f);
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
    return line;
}

QLabel* hint(QWidget* parent)
{
    auto* label = new QLabel(QStringLiteral("Drop files here to keep them handy."), parent);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setContentsMargins(0, 18, 0, 18);
    QFont font = label->font();
    font.setPixelSize(12);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Theme::inkSoft());
    label->setPalette(palette);
    return label;
}

} // namespace

ShelfView::ShelfView(FloatShelf& shelf, QWidget* parent) : QWidget(parent), m_shelf(shelf)
{
    setAcceptDrops(true);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addSpacing(int(ShelfPainter::headerHeight));
    column->addWidget(divider(this));

    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setStyleSheet(
        QStringLiteral("QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"));
    auto* content = new QWidget(scroll);
    m_list = new QVBoxLayout(content);
    const int pad = int(ShelfPainter::listPadding);
    m_list->setContentsMargins(pad, pad, pad, pad);
    m_list->setSpacing(int(ShelfPainter::rowSpacing));
    m_hint = hint(content);
    m_list->addWidget(m_hint);
    m_list->addStretch(1);
    scroll->setWidget(content);
    column->addWidget(scroll, 1);

    m_stripDivider = divider(this);
    column->addWidget(m_stripDivider);
    m_strip = new DragAllHandle(this);
    column->addWidget(m_strip);

    connect(&m_shelf, &FloatShelf::itemsChanged, this, &ShelfView::rebuild);
    connect(&m_shelf, &FloatShelf::edgeChanged, this, qOverload<>(&QWidget::update));
    rebuild();
}

bool ShelfView::showsHint() const
{
    return !m_hint->isHidden();
}

void ShelfView::rebuild()
{
    for (ShelfRow* row : std::as_const(m_rows)) {
        row->hide();
        row->deleteLater(); // a row may be the one whose remove button started this
    }
    m_rows.clear();
    const QStringList items = m_shelf.items();
    for (qsizetype i = 0; i < items.size(); ++i) {
        auto* row = new ShelfRow(items[i], m_hint->parentWidget());
        const QString path = items[i];
        row->setOnRemove([this, path] { m_shelf.remove(path); });
        m_list->insertWidget(int(i), row);
        m_rows << row;
    }
    m_hint->setHidden(!items.isEmpty());
    const bool strip = items.size() >= 2;
    m_strip->setFiles(items);
    m_strip->setVisible(strip);
    m_stripDivider->setVisible(strip);
}

QRectF ShelfView::headerRect() const
{
    return {0, 0, double(width()), ShelfPainter::headerHeight};
}

bool ShelfView::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip) return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const QRectF header = headerRect();
    const std::pair<FloatShelf::Edge, const char*> pins[] = {
        {FloatShelf::Edge::left, "Pin to the left edge"}, {FloatShelf::Edge::right, "Pin to the right edge"}};
    for (const auto& [edge, tip] : pins) {
        const QRectF pin = ShelfPainter::pinRect(header, edge);
        if (pin.contains(help->pos())) {
            QToolTip::showText(help->globalPos(), QString::fromUtf8(tip), this, pin.toAlignedRect());
            return true;
        }
    }
    QToolTip::hideText();
    event->ignore();
    return true;
}

void ShelfView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    ShelfPainter::paintBackground(painter, rect(), m_targeted);
    ShelfPainter::paintHeader(painter, headerRect(), m_shelf.edge());
}

void ShelfView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    const QPointF at = event->position();
    const QRectF header = headerRect();
    if (ShelfPainter::closeRect(header).contains(at)) {
        m_shelf.close();
    } else if (ShelfPainter::pinRect(header, FloatShelf::Edge::left).contains(at)) {
        m_shelf.togglePin(FloatShelf::Edge::left);
    } else if (ShelfPainter::pinRect(header, FloatShelf::Edge::right).contains(at)) {
        m_shelf.togglePin(FloatShelf::Edge::right);
    } else if (QWindow* window = this->window()->windowHandle()) {
        window->startSystemMove(); // the panel moves by its background
    }
}

void ShelfView::setTargeted(bool targeted)
{
    if (m_targeted == targeted) return;
    m_targeted = targeted;
    update();
}

void ShelfView::dragEnterEvent(QDragEnterEvent* event)
{
    if (localFiles(event->mimeData()).isEmpty()) return;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    setTargeted(true);
}

void ShelfView::dragMoveEvent(QDragMoveEvent* event)
{
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void ShelfView::dragLeaveEvent(QDragLeaveEvent*)
{
    setTargeted(false);
}

void ShelfView::dropEvent(QDropEvent* event)
{
    setTargeted(false);
    const QStringList files = localFiles(event->mimeData());
    if (files.isEmpty()) return;
    // A copy, never a move: the source must not delete what it offered.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    m_shelf.show(files);
}
