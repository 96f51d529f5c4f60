#include "toolkit/boxstage.h"

#include "toolkit/imagegeometry.h"
#include "toolkit/loadingview.h"
#include "toolkit/symbols.h"
#include "toolkit/theme.h"
#include "toolkit/unitbox.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr double outline = 1.5, symbolSide = 11;

} // namespace

BoxStage::BoxStage(double padding, double minSide, QWidget* parent)
    : QWidget(parent), m_padding(padding), m_minSide(minSide), m_loading(new LoadingView(this))
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void BoxStage::setPicture(const QImage& picture)
{
    m_picture = picture;
    m_loading->setVisible(m_picture.isNull());
    update();
}

void BoxStage::setBoxes(const QList<QRectF>& boxes)
{
    m_boxes = boxes;
    update();
}

void BoxStage::setLook(const Look& look)
{
    m_look = look;
    update();
}

QRectF BoxStage::pictureRect() const
{
    if (m_picture.isNull()) return {};
    return fittedRect(QSizeF(m_picture.size()), QSizeF(size()), m_padding);
}

void BoxStage::paintBox(QPainter& painter, const QRectF& unit, QSizeF shown, const Look& look, bool filled)
{
    const QRectF r = UnitBox::shownRect(unit, shown);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(Theme::orange(), outline, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    if (!filled) pen.setDashPattern({4 / outline, 3 / outline}); // in units of the pen's width
    painter.setPen(pen);
    painter.setBrush(filled ? QBrush(look.fill) : QBrush(Qt::NoBrush));
    painter.drawRect(r);
    if (filled && !look.symbol.isEmpty())
        Symbols::draw(
            painter, look.symbol,
            QRectF(r.center() - QPointF(symbolSide / 2, symbolSide / 2), QSizeF(symbolSide, symbolSide)),
            Qt::white);
    painter.restore();
}

void BoxStage::paintBackdrop(QPainter&) {}

void BoxStage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintBackdrop(painter);
    if (m_picture.isNull()) return;
    const QRectF picture = pictureRect();
    // Fitted here rather than on resize, so a move to a screen of another density refits too.
    m_shown.fit(m_picture, picture.size(), devicePixelRatioF());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(picture, m_shown.image());
    painter.translate(picture.topLeft());
    for (const QRectF& box : m_boxes)
        paintBox(painter, box, picture.size(), m_look, true);
    if (m_drag.draft()) paintBox(painter, *m_drag.draft(), picture.size(), m_look, false);
}

void BoxStage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_loading->setGeometry(rect());
}

void BoxStage::mousePressEvent(QMouseEvent* event)
{
    const QRectF picture = pictureRect();
    if (event->button() != Qt::LeftButton || !picture.contains(event->position())) return;
    m_drag.press(event->position() - picture.topLeft());
}

void BoxStage::mouseMoveEvent(QMouseEvent* event)
{
    const QRectF picture = pictureRect();
    if (m_drag.move(event->position() - picture.topLeft(), picture.size())) update();
}

// A drag draws a box; a click removes the topmost box under it.
void BoxStage::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_drag.isPressed() || event->button() != Qt::LeftButton) return;
    const QRectF picture = pictureRect();
    const BoxDrag::Ended ended = m_drag.release(event->position() - picture.topLeft(), picture.size());
    update();
    if (ended.drawn) {
        if (UnitBox::kept(*ended.drawn, m_minSide)) emit drawn(*ended.drawn);
    } else if (ended.clicked) {
        if (const std::optional<int> i = BoxDrag::topmostAt(m_boxes, *ended.clicked)) emit clicked(*i);
    }
}
