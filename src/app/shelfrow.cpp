#include "app/shelfrow.h"

#include "core/fmt.h"
#include "toolkit/thumbnailer.h"

#include <QFileIconProvider>
#include <QFileInfo>
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
    m_drag.press(*event);
}

void ShelfRow::mouseMoveEvent(QMouseEvent* event)
{
    setHover(true);
    m_drag.move(this, *event, {m_path}, Qt::CopyAction | Qt::LinkAction);
}

void ShelfRow::mouseReleaseEvent(QMouseEvent* event)
{
    const bool pressed = m_drag.release();
    if (pressed && m_look.hover && ShelfPainter::removeRect(rect()).contains(event->position()) && m_onRemove)
        m_onRemove();
}
