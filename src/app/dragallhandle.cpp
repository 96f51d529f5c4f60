#include "app/dragallhandle.h"

#include "app/shelfpainter.h"

#include <QMouseEvent>
#include <QPainter>

DragAllHandle::DragAllHandle(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(int(ShelfPainter::stripHeight));
    setCursor(Qt::OpenHandCursor);
}

void DragAllHandle::setFiles(const QStringList& files)
{
    if (m_files == files) return;
    m_files = files;
    update();
}

void DragAllHandle::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    ShelfPainter::paintStrip(painter, rect(), int(m_files.size()));
}

void DragAllHandle::mousePressEvent(QMouseEvent* event)
{
    m_drag.press(*event);
}

void DragAllHandle::mouseMoveEvent(QMouseEvent* event)
{
    m_drag.move(this, *event, m_files, Qt::CopyAction | Qt::LinkAction | Qt::MoveAction);
}
