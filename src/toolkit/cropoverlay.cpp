#include "toolkit/cropoverlay.h"

#include "toolkit/theme.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

using CropGeometry::Handle;

namespace {

// A grip's bar: corners are squares, the top and bottom edges wide, the side edges tall.
QSizeF gripSize(Handle h)
{
    switch (h) {
    case Handle::t:
    case Handle::b:
        return QSizeF(22, 5);
    case Handle::l:
    case Handle::r:
        return QSizeF(5, 22);
    default:
        return QSizeF(12, 12);
    }
}

} // namespace

CropOverlay::CropOverlay(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true); // for the hand over the inside
}

void CropOverlay::setUnitRect(const QRectF& rect)
{
    if (rect == m_rect) return;
    m_rect = rect;
    update();
}

QRectF CropOverlay::pictureArea() const
{
    return QRectF(rect()).adjusted(margin, margin, -margin, -margin);
}

QRectF CropOverlay::viewRect(const QRectF& unit, const QRectF& picture)
{
    return QRectF(picture.x() + unit.x() * picture.width(), picture.y() + unit.y() * picture.height(),
                  unit.width() * picture.width(), unit.height() * picture.height());
}

void CropOverlay::paint(QPainter& painter, const QRectF& picture, const QRectF& unit)
{
    const QRectF r = viewRect(unit, picture);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath dim;
    dim.setFillRule(Qt::OddEvenFill);
    dim.addRect(picture);
    dim.addRect(r);
    painter.fillPath(dim, QColor::fromRgbF(0.25f, 0.25f, 0.25f, 0.62f));
    painter.setPen(QPen(Theme::orange(), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(r);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::orange());
    for (Handle h :
         {Handle::tl, Handle::t, Handle::tr, Handle::r, Handle::br, Handle::b, Handle::bl, Handle::l}) {
        const QSizeF s = gripSize(h);
        const QPointF c = CropGeometry::point(h, r);
        painter.drawRoundedRect(QRectF(c.x() - s.width() / 2, c.y() - s.height() / 2, s.width(), s.height()),
                                2, 2);
    }
    painter.restore();
}

void CropOverlay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, pictureArea(), m_rect);
}

void CropOverlay::mousePressEvent(QMouseEvent* event)
{
    const std::optional<Handle> h = CropGeometry::hit(event->position(), viewRect(m_rect, pictureArea()));
    if (event->button() != Qt::LeftButton || !h) {
        event->ignore(); // the window's background: it moves the window
        return;
    }
    m_handle = h;
    m_start = m_rect;
    m_origin = event->position();
    drag(event->position());
}

void CropOverlay::mouseMoveEvent(QMouseEvent* event)
{
    if (m_handle) {
        drag(event->position());
        return;
    }
    const std::optional<Handle> h = CropGeometry::hit(event->position(), viewRect(m_rect, pictureArea()));
    if (h == Handle::move)
        setCursor(Qt::OpenHandCursor);
    else
        unsetCursor();
}

void CropOverlay::mouseReleaseEvent(QMouseEvent*)
{
    m_handle.reset();
}

// Each step starts again from the rectangle of the drag's beginning with the whole movement,
// so a drag that goes out and comes back leaves the rectangle where it was.
void CropOverlay::drag(QPointF position)
{
    const QSizeF picture = pictureArea().size();
    if (picture.width() <= 0 || picture.height() <= 0) return;
    const QPointF moved = position - m_origin;
    const QRectF next = CropGeometry::adjusted(m_start, *m_handle, moved.x() / picture.width(),
                                               moved.y() / picture.height(), m_limits);
    if (next == m_rect) return;
    m_rect = next;
    update();
    emit rectEdited(next);
}
