#include "toolkit/card.h"

#include "toolkit/textlabel.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

Card::Card(const QString& title, QWidget* parent) : QWidget(parent), m_rows(new QVBoxLayout)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(10);
    column->addWidget(new SectionTitle(title), 0, Qt::AlignLeft);
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(10);
    column->addLayout(m_rows);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void Card::paint(QPainter& painter, QSizeF size)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(QPointF(), size).adjusted(0.375, 0.375, -0.375, -0.375), 14, 14);
    painter.fillPath(shape, QColor::fromRgbF(1, 1, 1, 0.3f));
    painter.strokePath(shape, QPen(QColor::fromRgbF(1, 1, 1, 0.45f), 0.75));
    painter.restore();
}

void Card::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, size());
}
