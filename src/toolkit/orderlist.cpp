#include "toolkit/orderlist.h"

#include "toolkit/symbols.h"
#include "toolkit/theme.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <cmath>

OrderList::OrderList(const QStringList& urls, const std::function<QString(const QString&)>& detail,
                     QWidget* parent)
    : QWidget(parent), m_urls(urls), m_detail(detail)
{
    const QFileIconProvider icons;
    for (const QString& url : urls)
        if (!m_icons.contains(url)) m_icons.insert(url, icons.icon(QFileInfo(url)));
    refreshDetails();
    setMinimumHeight(minimumSizeHint().height());
}

void OrderList::refreshDetails()
{
    m_details.clear();
    for (const QString& url : std::as_const(m_urls))
        if (!m_details.contains(url)) m_details.insert(url, m_detail(url));
    update();
}

QRectF OrderList::rowRect(int index) const
{
    return QRectF(0, index * (rowHeight + rowGap), width(), rowHeight);
}

std::optional<int> OrderList::rowAt(QPointF point) const
{
    const int index = int(std::floor(point.y() / (rowHeight + rowGap)));
    if (index < 0 || index >= m_urls.size() || !rowRect(index).contains(point)) return std::nullopt;
    return index;
}

QSize OrderList::sizeHint() const
{
    return QSize(300, minimumSizeHint().height());
}

QSize OrderList::minimumSizeHint() const
{
    return QSize(100, int(std::ceil(m_urls.size() * (rowHeight + rowGap))));
}

void OrderList::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(0, 0, width(), std::min<double>(height(), minimumSizeHint().height())), 12,
                        12);
    painter.setClipPath(clip);
    QFont font = painter.font();
    for (int i = 0; i < int(m_urls.size()); ++i) {
        const QRectF row = rowRect(i);
        const QString& url = m_urls[i];
        painter.fillRect(row, QColor(255, 255, 255, m_dragging == i ? 160 : 89));
        const double mid = row.center().y();
        font.setPixelSize(12);
        font.setWeight(QFont::DemiBold);
        painter.setFont(font);
        painter.setPen(Theme::orange());
        painter.drawText(QRectF(row.left() + 8, row.top(), 18, row.height()), Qt::AlignCenter,
                         QString::number(i + 1));
        m_icons.value(url).paint(&painter, QRect(int(row.left() + 36), int(mid - 14), 28, 28));
        const double textLeft = row.left() + 74;
        const double textWidth = row.width() - textLeft - 34;
        font.setPixelSize(13);
        font.setWeight(QFont::Medium);
        painter.setFont(font);
        painter.setPen(Theme::ink());
        const QString name =
            painter.fontMetrics().elidedText(QFileInfo(url).fileName(), Qt::ElideMiddle, int(textWidth));
        painter.drawText(QRectF(textLeft, row.top() + 4, textWidth, 18), Qt::AlignLeft | Qt::AlignVCenter,
                         name);
        font.setPixelSize(11);
        font.setWeight(QFont::Normal);
        painter.setFont(font);
        painter.setPen(Theme::inkSoft());
        painter.drawText(QRectF(textLeft, row.top() + 23, textWidth, 16), Qt::AlignLeft | Qt::AlignVCenter,
                         m_details.value(url));
        Symbols::draw(painter, QStringLiteral("line.3.horizontal"), QRectF(row.right() - 28, mid - 8, 16, 16),
                      Theme::inkSoft());
    }
}

void OrderList::mousePressEvent(QMouseEvent* event)
{
    m_dragging.reset();
    m_moved = false;
    if (event->button() != Qt::LeftButton) return;
    m_dragging = rowAt(event->position());
    m_pressedAt = event->position();
    update();
}

void OrderList::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging || !(event->buttons() & Qt::LeftButton)) return;
    if (!m_moved && (event->position() - m_pressedAt).manhattanLength() < QApplication::startDragDistance())
        return;
    m_moved = true;
    emit dragMoved(event->position().toPoint());
    const std::optional<int> over = rowAt(event->position());
    if (!over || *over == *m_dragging) return;
    m_urls.move(*m_dragging, *over);
    m_dragging = over;
    update();
    emit urlsChanged(m_urls);
}

void OrderList::mouseReleaseEvent(QMouseEvent*)
{
    m_dragging.reset();
    m_moved = false;
    update();
}

QWidget* OrderList::scrolled()
{
    auto* scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    scroll->setStyleSheet(
        QStringLiteral("QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"));
    setAutoFillBackground(false);
    scroll->setWidget(this);
    connect(this, &OrderList::dragMoved, scroll,
            [scroll](QPoint at) { scroll->ensureVisible(at.x(), at.y(), 0, 24); });
    return scroll;
}
