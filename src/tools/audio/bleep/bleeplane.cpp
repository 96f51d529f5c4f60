#include "tools/audio/bleep/bleeplane.h"

#include "toolkit/theme.h"
#include "tools/audio/bleep/bleeplanemodel.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

BleepLane::BleepLane(BleepLaneModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setFixedHeight(height);
    setAttribute(Qt::WA_TranslucentBackground);
}

void BleepLane::paint(QPainter& painter, QSizeF size, const BleepLaneModel& model)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(1, 1, 1, 0.22f));
    painter.drawRoundedRect(QRectF(QPointF(), size), 9, 9);
    QList<BleepRange> shown = model.ranges;
    if (model.draft) shown << *model.draft;
    for (const BleepRange& r : shown) {
        const bool selected = model.selected == r.id;
        const double left = model.x(r.start, size.width());
        const QRectF bar(left, 4, std::max(model.x(r.end, size.width()) - left, 2.0), size.height() - 8);
        QColor fill = Theme::orange();
        fill.setAlphaF(selected ? 1.0f : 0.75f);
        painter.setBrush(fill);
        painter.setPen(selected ? QPen(Qt::white, 2) : Qt::NoPen);
        painter.drawRoundedRect(bar, 6, 6);
    }
    painter.restore();
}

void BleepLane::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, size(), m_model);
}

// A press is the first change of the drag, as a click is a drag that does not move.
void BleepLane::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    m_pressX = event->position().x();
    m_model.drag(*m_pressX, *m_pressX, width());
    update();
    emit edited();
}

void BleepLane::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressX) return;
    m_model.drag(*m_pressX, event->position().x(), width());
    update();
    emit edited();
}

void BleepLane::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_pressX || event->button() != Qt::LeftButton) return;
    m_pressX.reset();
    m_model.end(event->position().x(), width());
    update();
    emit edited();
}
