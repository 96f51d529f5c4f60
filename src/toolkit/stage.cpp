#include "toolkit/stage.h"

#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QVBoxLayout>

Stage::Stage(bool dark, QWidget* content, QWidget* parent) : QWidget(parent), m_dark(dark), m_content(content)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
}

void Stage::paint(QPainter& painter, QSizeF size, bool dark)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(dark ? QColor::fromRgbF(0.07f, 0.05f, 0.04f)
                          : QColor::fromRgbF(0.55f, 0.30f, 0.20f, 0.10f));
    painter.drawRoundedRect(QRectF(QPointF(), size), radius, radius);
    painter.restore();
}

void Stage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, size(), m_dark);
}

// Children are not clipped by their parent's drawing: the content gets the rounded outline as its mask.
void Stage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()), radius, radius);
    m_content->setMask(QRegion(outline.toFillPolygon().toPolygon()));
}
