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
    if (m_draft) paintBox(painter, *m_draft, picture.size(), false);
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
    m_press = event->position() - picture.topLeft();
    m_dragging = false;
}

void RedactVideoStage::mouseMoveEvent(QMouseEvent* event)
{
    if (m_press) track(event->position());
}

// The draft follows the pointer once it has moved far enough to be a drag.
void RedactVideoStage::track(QPointF position)
{
    const QRectF picture = pictureRect();
    const QPointF at = position - picture.topLeft();
    const QPointF moved = at - *m_press;
    if (!m_dragging && std::hypot(moved.x(), moved.y()) < UnitBox::minDrag) return;
    m_dragging = true;
    m_draft = UnitBox::dragged(*m_press, at, picture.size());
    update();
}

void RedactVideoStage::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_press || event->button() != Qt::LeftButton) return;
    track(event->position());
    const QRectF picture = pictureRect();
    const QPointF press = *m_press;
    m_press.reset();
    if (m_dragging) {
        const std::optional<QRectF> draft = m_draft;
        m_draft.reset();
        m_dragging = false;
        update();
        if (draft && UnitBox::kept(*draft, minSide)) emit drawn(*draft);
        return;
    }
    // A click removes the topmost box under it.
    const QPointF unit(press.x() / picture.width(), press.y() / picture.height());
    for (qsizetype i = m_boxes.size() - 1; i >= 0; --i)
        if (m_boxes[i].contains(unit)) {
            emit clicked(int(i));
            return;
        }
}
