#pragma once

#include "engines/pagechoice.h"
#include "tools/pdf/organize/pageitem.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <vector>

// The pages of the PDF being organized, in result order, and which of them are selected. The
// edits are cheap list operations on page indices; the document itself is never touched.
// Emits changed() after every edit that changed something. Main thread.
class PageList : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;

    const QList<PageItem>& pages() const { return m_pages; }
    const QSet<quint64>& selection() const { return m_selection; }
    bool isSelected(quint64 id) const { return m_selection.contains(id); }
    // Delete would leave at least one page and has something to remove.
    bool canDelete() const;
    // What the writer is given: each tile's page and rotation, in order.
    std::vector<PageChoice> choices() const;

    // One unturned tile per page of a document of `count` pages, in order, each with a fresh id;
    // nothing selected.
    void reset(int count);
    // Turns the selected tiles by `degrees` (±90), kept in 0…359.
    void rotate(int degrees);
    // Puts a copy of each selected tile right behind it; the originals stay selected.
    void duplicate();
    // Removes the selected tiles and clears the selection.
    void remove();
    // A click on tile `id`: with `toggle` (Ctrl held) it joins or leaves the selection, else it
    // becomes the whole selection.
    void tap(quint64 id, bool toggle);
    // The tile `dragged`, during a drag, entered tile `target`: it takes the target's place,
    // the tiles between shifting by one. Entering itself changes nothing.
    void dragEntered(quint64 dragged, quint64 target);

  signals:
    void changed();

  private:
    qsizetype indexOf(quint64 id) const;

    QList<PageItem> m_pages;
    QSet<quint64> m_selection;
    quint64 m_nextId = 1;
};
