#include "tools/video/redact/redactvideostage.h"

#include "toolkit/imagegeometry.h"
#include "toolkit/loadingview.h"
#include "toolkit/theme.h"
#include "toolkit/unitbox.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

RedactVideoStage::RedactVideoStage(QWidget* parent) : QWidget(parent), m_loading(new LoadingView(this))
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumHeight(160);
}

void RedactVideoStage::setFrame(const QImage& frame)
{
    if (frame.isNull()) return;
    m_frame = frame;
    m_loading->hide();
    update();
}

void RedactVideoStage::setBoxes(const QList<QRectF>& boxes)
{
    m_boxes = boxes;
    update();
}

void RedactVideoStage::setStyle(RedactStyle style)
{
    m_style = style;
    update();
}

QRectF RedactVideoStage::pictureRect() const
{
    if (m_frame.isNull()) return {};
    return fittedRect(QSizeF(m_frame.size()), QSizeF(size()), padding);
}

QColor RedactVideoStage::fillOf(RedactStyle style)
{
    return style == RedactStyle::black ? QColor(Qt::black) : QColor::fromRgbF(0.5f, 0.5f, 0.5f, 0.7f);
}

void RedactVideoStage::paintBox(QPainter& painter, const QRectF& box, QSizeF shown, bool filled) const
{
    constexpr double outline = 1.5;
    QPen pen(Theme::orange(), outline, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    if (!filled) pen.setDashPattern({4 / outline, 3 / outline}); // in units of the pen's width
    painter.setPen(pen);
    painter.setBrush(filled ? QBrush(fillOf(m_style)) : QBrush(Qt::NoBrush));
    painter.drawRect(UnitBox::shownRect(box, shown));
}

void RedactVideoStage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath stage;
    stage.addRoundedRect(QRectF(rect()), 14, 14);
    painter.fillPath(stage, QColor::fromRgbF(0.07f, 0.05f, 0.04f));
    if (m_frame.isNull()) return;
    const QRectF picture = pictureRect();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(picture, m_frame);
    painter.translate(picture.topLeft());
    for (const QRectF& box : m_boxes)
        paintBox(painter, box, picture.size(), true);
    if (m_drag.draft()) paintBox(painter, *m_drag.draft(), picture.size(), false);
}

void RedactVideoStage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_loading->setGeometry(rect());
}

void RedactVideoStage::mousePressEvent(QMouseEvent* event)
{
    const QRectF picture = pictureRect();
    if (event->button() != Qt::LeftButton || !picture.contains(event->position())) return;
    m_drag.press(event->position() - picture.topLeft());
}

void RedactVideoStage::mouseMoveEvent(QMouseEvent* event)
{
    const QRectF picture = pictureRect();
    if (m_drag.move(event->position() - picture.topLeft(), picture.size())) update();
}

// A drag draws a box; a click removes the topmost box under it.
void RedactVideoStage::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_drag.isPressed() || event->button() != Qt::LeftButton) return;
    const QRectF picture = pictureRect();
    const BoxDrag::Ended ended = m_drag.release(event->position() - picture.topLeft(), picture.size());
    update();
    if (ended.drawn) {
        if (UnitBox::kept(*ended.drawn, minSide)) emit drawn(*ended.drawn);
    } else if (ended.clicked) {
        if (const std::optional<int> i = BoxDrag::topmostAt(m_boxes, *ended.clicked)) emit clicked(*i);
    }
}
