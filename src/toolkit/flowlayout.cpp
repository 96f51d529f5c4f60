#include "toolkit/flowlayout.h"

#include <QWidget>
#include <algorithm>

FlowLayout::FlowLayout(QWidget* owner, int spacing) : QLayout(owner)
{
    setContentsMargins(0, 0, 0, 0);
    setSpacing(spacing);
}

FlowLayout::~FlowLayout()
{
    qDeleteAll(m_items);
}

void FlowLayout::addItem(QLayoutItem* item)
{
    m_items.append(item);
}

QLayoutItem* FlowLayout::takeAt(int index)
{
    return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
}

int FlowLayout::heightForWidth(int width) const
{
    return place(QRect(0, 0, width, 0), false);
}

QSize FlowLayout::sizeHint() const
{
    // One line of everything; the height for a narrower width comes from heightForWidth.
    int width = 0, height = 0;
    for (const QLayoutItem* item : m_items) {
        const QSize size = item->sizeHint();
        width += size.width() + (width > 0 ? spacing() : 0);
        height = std::max(height, size.height());
    }
    return {width, height};
}

QSize FlowLayout::minimumSize() const
{
    QSize size;
    for (const QLayoutItem* item : m_items)
        size = size.expandedTo(item->minimumSize());
    return size;
}

void FlowLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    place(rect, true);
}

int FlowLayout::place(const QRect& rect, bool apply) const
{
    const int gap = spacing();
    int top = rect.top();
    qsizetype first = 0; // the first item of the line being filled
    while (first < m_items.size()) {
        // As many items as fit, and always at least one.
        qsizetype end = first;
        int width = 0, height = 0;
        while (end < m_items.size()) {
            const QSize size = m_items[end]->sizeHint();
            const int wider = width + (end > first ? gap : 0) + size.width();
            if (end > first && wider > rect.width()) break;
            width = wider;
            height = std::max(height, size.height());
            ++end;
        }
        if (apply) {
            int x = rect.left();
            for (qsizetype i = first; i < end; ++i) {
                const QSize size = m_items[i]->sizeHint();
                m_items[i]->setGeometry(QRect(QPoint(x, top + (height - size.height()) / 2), size));
                x += size.width() + gap;
            }
        }
        top += height + gap;
        first = end;
    }
    return m_items.isEmpty() ? 0 : top - gap - rect.top();
}
