#include "windows/welcome/demowheel.h"

#include "toolkit/wheel/wheelgeometry.h"
#include "toolkit/wheel/wheelmodel.h"
#include "toolkit/wheel/wheelpainter.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr double cornerRadius = 12;

} // namespace

DemoWheel::DemoWheel(const WheelModel* model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setFixedWidth(columnWidth);
}

QLinearGradient DemoWheel::gradient(const QRectF& rect)
{
    QLinearGradient gradient(rect.topLeft(), rect.bottomRight());
    gradient.setColorAt(0, QColor::fromRgbF(1.0f, 0.78f, 0.3f));
    gradient.setColorAt(0.5, QColor::fromRgbF(1.0f, 0.42f, 0.2f));
    gradient.setColorAt(1, QColor::fromRgbF(0.6f, 0.5f, 0.85f));
    return gradient;
}

void DemoWheel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath column;
    column.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.fillPath(column, gradient(QRectF(rect())));
    painter.translate(QPointF(rect().center()) + QPointF(0.5, 0.5));
    painter.scale(scale, scale);
    painter.translate(-WheelGeometry::side / 2, -WheelGeometry::side / 2);
    WheelPainter::paint(painter, *m_model, WheelFrame::resting(*m_model));
}
