#include "tools/pdf/organize/pagegrid.h"

#include "toolkit/theme.h"
#include "tools/pdf/organize/pagelist.h"
#include "tools/pdf/organize/pagethumbs.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {

double rowHeight()
{
    return PageGrid::frame.height() + PageGrid::labelGap + PageGrid::labelHeight;
}

// The picture turned by `rotation` degrees about its centre, fitted into `box`.
void drawPicture(QPainter& painter, const QImage& picture, int rotation, const QRectF& box)
{
    const bool sideways = rotation % 180 != 0;
    QSizeF size = picture.size();
    if (sideways) size.transpose();
    size.scale(box.size(), Qt::KeepAspectRatio);
    if (sideways) size.transpose();
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(box.center());
    painter.rotate(rotation);
    painter.drawImage(QRectF(-size.width() / 2, -size.height() / 2, size.width(), size.height()), picture);
    painter.restore();
}

void drawTile(QPainter& painter, const QRectF& frame, const QImage& picture, int rotation, int number,
              bool selected)
{
    painter.fillRect(frame.translated(0, 1).adjusted(-1, -1, 1, 1), QColor(0, 0, 0, 20));
    painter.fillRect(frame.translated(0, 1), QColor(0, 0, 0, 38));
    painter.fillRect(frame, Qt::white);
    if (!picture.isNull()) drawPicture(painter, picture, rotation, frame);
    if (selected) {
        painter.setPen(QPen(Theme::orange(), 3));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(frame, 3, 3);
    }
    QFont font = painter.font();
    font.setPixelSize(11);
    font.setWeight(selected ? QFont::DemiBold : QFont::Normal);
    painter.setFont(font);
    painter.setPen(selected ? Theme::orange() : Theme::inkSoft());
    const QRectF label(frame.left() - 8, frame.bottom() + PageGrid::labelGap, frame.width() + 16,
                       PageGrid::labelHeight);
    painter.drawText(label, Qt::AlignHCenter | Qt::AlignTop, QString::number(number));
}

} // namespace

PageGrid::PageGrid(const PageList& list, const PageThumbs& thumbs, QWidget* parent)
    : QWidget(parent), m_list(list), m_thumbs(thumbs)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    connect(&list, &PageList::changed, this, [this] {
        fitHeight();
        update();
    });
    connect(&thumbs, &PageThumbs::picturesChanged, this, qOverload<>(&QWidget::update));
}

int PageGrid::columnsFor(double width) const
{
    return std::max(1, int(std::floor((width - 2 * padding + spacing) / (minColumn + spacing))));
}

int PageGrid::columns() const
{
    return columnsFor(width());
}

QRectF PageGrid::frameRect(int index) const
{
    const int n = columns();
    const double column = (width() - 2 * padding - (n - 1) * spacing) / n;
    const int row = index / n;
    const double x = padding + (index % n) * (column + spacing) + (column - frame.width()) / 2;
    const double y = padding + row * (rowHeight() + spacing);
    return QRectF(QPointF(x, y), frame);
}

std::optional<int> PageGrid::tileAt(QPointF point) const
{
    const int count = int(m_list.pages().size());
    const int n = columns();
    const int row = int(std::floor((point.y() - padding) / (rowHeight() + spacing)));
    if (row < 0) return std::nullopt;
    for (int i = row * n; i < std::min(count, (row + 1) * n); ++i) {
        const QRectF frame = frameRect(i);
        if (frame.adjusted(0, 0, 0, labelGap + labelHeight).contains(point)) return i;
    }
    return std::nullopt;
}

int PageGrid::heightForWidth(int width) const
{
    const int count = int(m_list.pages().size());
    const int n = columnsFor(width);
    const int rows = (count + n - 1) / n;
    return int(std::ceil(2 * padding + rows * rowHeight() + std::max(0, rows - 1) * spacing));
}

QSize PageGrid::sizeHint() const
{
    return QSize(int(minColumn + 2 * padding), heightForWidth(int(minColumn + 2 * padding)));
}

void PageGrid::fitHeight()
{
    setMinimumHeight(heightForWidth(width()));
}

void PageGrid::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    fitHeight();
}

void PageGrid::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QList<PageItem>& pages = m_list.pages();
    const QRectF dirty = event->rect();
    for (int i = 0; i < int(pages.size()); ++i) {
        const QRectF frame = frameRect(i);
        if (!frame.adjusted(-4, -4, 4, labelGap + labelHeight + 4).intersects(dirty)) continue;
        const PageItem& page = pages[i];
        drawTile(painter, frame, m_thumbs.pictures().value(page.source), page.rotation, i + 1,
                 m_list.isSelected(page.id));
    }
}

void PageGrid::mousePressEvent(QMouseEvent* event)
{
    m_pressed.reset();
    m_dragging.reset();
    if (event->button() != Qt::LeftButton) return;
    if (const std::optional<int> tile = tileAt(event->position())) {
        m_pressed = m_list.pages()[*tile].id;
        m_pressedAt = event->position();
    }
}

void PageGrid::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressed || !(event->buttons() & Qt::LeftButton)) return;
    if (!m_dragging) {
        if ((event->position() - m_pressedAt).manhattanLength() < QApplication::startDragDistance()) return;
        m_dragging = m_pressed;
    }
    emit dragMoved(event->position().toPoint());
    if (const std::optional<int> tile = tileAt(event->position()))
        emit dragEntered(*m_dragging, m_list.pages()[*tile].id);
}

void PageGrid::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_pressed && !m_dragging && event->button() == Qt::LeftButton)
        emit tapped(*m_pressed, event->modifiers() & Qt::ControlModifier);
    m_pressed.reset();
    m_dragging.reset();
}
