#include "app/shelfrow.h"

#include "app/dragallhandle.h"
#include "core/fmt.h"
#include "toolkit/thumbnailer.h"

#include <QApplication>
#include <QDrag>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

namespace {

// Thumbnails are asked for at twice the picture square, sharp on dense screens.
constexpr int thumbnailPixels = int(ShelfPainter::thumbSide) * 2;

} // namespace

ShelfRow::ShelfRow(const QString& path, QWidget* parent) : QWidget(parent), m_path(path)
{
    setFixedHeight(int(ShelfPainter::rowHeight));
    setMouseTracking(true);
    setToolTip(path);
    m_look.name = QFileInfo(path).fileName();
    m_look.size = Fmt::byteCount(Fmt::fileSize(path));
    m_look.picture = QFileIconProvider().icon(QFileInfo(path)).pixmap(thumbnailPixels).toImage();
    Thumbnailer::request(path, thumbnailPixels, this, [this](const QImage& image) {
        if (image.isNull()) return;
        m_look.picture = image;
        m_hasThumbnail = true;
        update();
    });
}

void ShelfRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    ShelfPainter::paintRow(painter, rect(), m_look);
}

void ShelfRow::setHover(bool hover)
{
    if (m_look.hover == hover) return;
    m_look.hover = hover;
    update();
}

void ShelfRow::enterEvent(QEnterEvent*)
{
    setHover(true);
}

void ShelfRow::leaveEvent(QEvent*)
{
    setHover(false);
}

void ShelfRow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) m_pressAt = event->position().toPoint();
}

void ShelfRow::mouseMoveEvent(QMouseEvent* event)
{
    setHover(true);
    if (!m_pressAt || !(event->buttons() & Qt::LeftButton) ||
        (event->position().toPoint() - *m_pressAt).manhattanLength() < QApplication::startDragDistance())
        return;
    m_pressAt.reset();
    auto* drag = new QDrag(this);
    drag->setMimeData(DragAllHandle::mimeData({m_path}));
    drag->setPixmap(DragAllHandle::dragImage({m_path}));
    drag->exec(Qt::CopyAction | Qt::LinkAction, Qt::CopyAction);
}

void ShelfRow::mouseReleaseEvent(QMouseEvent* event)
{
    const bool clicked = m_pressAt && ShelfPainter::removeRect(rect()).contains(event->position());
    m_pressAt.reset();
    if (clicked && m_look.hover && m_onRemove) m_onRemove();
}
