#include "app/wheeldropview.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

WheelDropView::WheelDropView(Track track, Drop drop, QWidget* parent)
    : QWidget(parent), m_track(std::move(track)), m_drop(std::move(drop))
{
    setAcceptDrops(true);
    setAttribute(Qt::WA_TranslucentBackground);
}

QPointF WheelDropView::fromCentre(QPointF position) const
{
    return position - QPointF(width() / 2.0, height() / 2.0);
}

bool WheelDropView::answer(QDropEvent* event)
{
    // A source that offers only a move would delete the originals after the drop: refused, and
    // no petal lights for it. It is asked again on the next move, since some sources offer a
    // copy again once a key is released.
    const bool copyable = event->mimeData()->hasUrls() && (event->possibleActions() & Qt::CopyAction);
    const bool onPetal = m_track(copyable ? std::optional(fromCentre(event->position())) : std::nullopt);
    if (!onPetal) {
        event->ignore();
        return false;
    }
    // Whatever the source proposed, the originals stay where they are.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

void WheelDropView::dragEnterEvent(QDragEnterEvent* event)
{
    // The enter of any file drag is taken, whatever actions the source offers right now, so
    // that the moves keep arriving: once an enter is refused, the widget hears nothing more of
    // this visit. Whether a drop is possible is answered per position.
    if (!event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    const bool canDrop = answer(event);
    event->setDropAction(canDrop ? Qt::CopyAction : Qt::IgnoreAction);
    event->accept();
}

void WheelDropView::dragMoveEvent(QDragMoveEvent* event)
{
    answer(event);
}

void WheelDropView::dragLeaveEvent(QDragLeaveEvent*)
{
    m_track(std::nullopt);
}

void WheelDropView::dropEvent(QDropEvent* event)
{
    if (!answer(event)) return;
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) files << url.toLocalFile();
    if (!m_drop(files, mapToGlobal(event->position()).toPoint())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}
