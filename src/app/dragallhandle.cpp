#include "app/dragallhandle.h"

#include "app/shelfpainter.h"

#include <QApplication>
#include <QDrag>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

namespace {

constexpr int iconSide = 48, fanStep = 4, mostIconsShown = 8;

} // namespace

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

QMimeData* DragAllHandle::mimeData(const QStringList& files)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& file : files)
        urls << QUrl::fromLocalFile(file);
    data->setUrls(urls);
    return data;
}

QPixmap DragAllHandle::dragImage(const QStringList& files)
{
    const int shown = int(std::min<qsizetype>(files.size(), mostIconsShown));
    const int side = iconSide + fanStep * std::max(0, shown - 1);
    QPixmap image(side, side);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    const QFileIconProvider icons;
    for (int i = shown - 1; i >= 0; --i)
        icons.icon(QFileInfo(files[i])).paint(&painter, QRect(i * fanStep, i * fanStep, iconSide, iconSide));
    return image;
}

void DragAllHandle::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    ShelfPainter::paintStrip(painter, rect(), int(m_files.size()));
}

void DragAllHandle::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) m_pressAt = event->position().toPoint();
}

void DragAllHandle::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressAt || !(event->buttons() & Qt::LeftButton) ||
        (event->position().toPoint() - *m_pressAt).manhattanLength() < QApplication::startDragDistance())
        return;
    m_pressAt.reset();
    auto* drag = new QDrag(this);
    drag->setMimeData(mimeData(m_files));
    const QPixmap image = dragImage(m_files);
    drag->setPixmap(image);
    drag->setHotSpot(QPoint(iconSide / 2, iconSide / 2));
    drag->exec(Qt::CopyAction | Qt::LinkAction | Qt::MoveAction, Qt::CopyAction);
}
