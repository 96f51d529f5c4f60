#include "tools/pdf/organize/pagelist.h"

bool PageList::canDelete() const
{
    return !m_selection.isEmpty() && m_selection.size() < m_pages.size();
}

std::vector<PageChoice> PageList::choices() const
{
    std::vector<PageChoice> out;
    out.reserve(size_t(m_pages.size()));
    for (const PageItem& page : m_pages)
        out.push_back({page.source, page.rotation});
    return out;
}

void PageList::reset(int count)
{
    m_pages.clear();
    for (int i = 0; i < count; ++i)
        m_pages.append({m_nextId++, i, 0});
    m_selection.clear();
    emit changed();
}

void PageList::rotate(int degrees)
{
    if (m_selection.isEmpty()) return;
    for (PageItem& page : m_pages)
        if (m_selection.contains(page.id)) page.rotation = ((page.rotation + degrees) % 360 + 360) % 360;
    emit changed();
}

void PageList::duplicate()
{
    if (m_selection.isEmpty()) return;
    QList<PageItem> out;
    out.reserve(m_pages.size() + m_selection.size());
    for (const PageItem& page : std::as_const(m_pages)) {
        out.append(page);
        if (m_selection.contains(page.id)) out.append({m_nextId++, page.source, page.rotation});
    }
    m_pages = out;
    emit changed();
}

void PageList::remove()
{
    if (m_selection.isEmpty()) return;
    m_pages.removeIf([this](const PageItem& page) { return m_selection.contains(page.id); });
    m_selection.clear();
    emit changed();
}

void PageList::tap(quint64 id, bool toggle)
{
    if (indexOf(id) < 0) return;
    if (!toggle)
        m_selection = {id};
    else if (!m_selection.remove(id))
        m_selection.insert(id);
    emit changed();
}

void PageList::dragEntered(quint64 dragged, quint64 target)
{
    if (dragged == target) return;
    const qsizetype from = indexOf(dragged);
    const qsizetype to = indexOf(target);
    if (from < 0 || to < 0) return;
    m_pages.move(from, to);
    emit changed();
}

qsizetype PageList::indexOf(quint64 id) const
{
    for (qsizetype i = 0; i < m_pages.size(); ++i)
        if (m_pages[i].id == id) return i;
    return -1;
}
