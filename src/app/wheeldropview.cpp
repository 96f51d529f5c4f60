#include "app/wheeldropview.h"

#include "app/wheelcontroller.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

WheelDropView::WheelDropView(WheelController* controller, QWidget* parent)
    : QWidget(parent), m_controller(controller)
{
    setAcceptDrops(true);
    setAttribute(Qt::WA_TranslucentBackground);
}

QPointF WheelDropView::fromCentre(QPointF position) const
{
    return position - QPointF(width() / 2.0, height() / 2.0);
}

bool WheelDropView::accepts(const QDropEvent* event) const
{
    // A source that offers only a move would delete the originals after the drop: refused.
    return m_controller && event->mimeData()->hasUrls() && (event->possibleActions() & Qt::CopyAction);
}

bool WheelDropView::answer(QDropEvent* event)
{
    if (!accepts(event) || !m_controller->track(fromCentre(event->position()))) {
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
    // The enter is taken for any file drag so that the moves over gaps keep arriving; whether a
    // drop is possible is answered per position.
    if (!accepts(event)) {
        event->ignore();
        return;
    }
    const bool onPetal = m_controller->track(fromCentre(event->position()));
    event->setDropAction(onPetal ? Qt::CopyAction : Qt::IgnoreAction);
    event->accept();
}

void WheelDropView::dragMoveEvent(QDragMoveEvent* event)
{
    answer(event);
}

void WheelDropView::dragLeaveEvent(QDragLeaveEvent*)
{
    if (m_controller) m_controller->track(std::nullopt);
}

void WheelDropView::dropEvent(QDropEvent* event)
{
    if (!answer(event)) return;
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) files << url.toLocalFile();
    if (!m_controller->drop(files, mapToGlobal(event->position()).toPoint())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}
