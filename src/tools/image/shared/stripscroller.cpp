#include "tools/image/shared/stripscroller.h"

#include <QScrollBar>
#include <QWheelEvent>

StripScroller::StripScroller(QWidget* content, QWidget* parent) : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(false);
    content->adjustSize();
    setWidget(content);
    // The window's wash shows through: neither the viewport nor the row paints a background.
    setStyleSheet(QStringLiteral("background: transparent;"));
    setFixedHeight(content->sizeHint().expandedTo(content->minimumSize()).height());
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void StripScroller::wheelEvent(QWheelEvent* event)
{
    const QPoint steps = event->angleDelta();
    const int delta = steps.x() != 0 ? steps.x() : steps.y();
    QScrollBar* bar = horizontalScrollBar();
    const int before = bar->value();
    bar->setValue(before - delta / 2);
    event->setAccepted(bar->value() != before);
}
