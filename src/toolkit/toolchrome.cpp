#include "toolkit/toolchrome.h"

#include "toolkit/closebutton.h"
#include "toolkit/floatingpanel.h"
#include "toolkit/painting.h"
#include "toolkit/theme.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {

constexpr double rule = 0.75;

QColor ruleColour()
{
    QColor c = Theme::ink();
    c.setAlphaF(0.12f);
    return c;
}

} // namespace

ToolChrome::ToolChrome(const QString& title, QWidget* parent)
    : QWidget(parent), m_title(title), m_content(new QWidget), m_footer(new QHBoxLayout),
      m_close(new CloseButton(this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addSpacing(headerHeight + 1);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(padding, padding, padding, padding);
    body->addWidget(m_content);
    column->addLayout(body, 1);
    column->addSpacing(1);
    auto* band = new QWidget;
    band->setFixedHeight(footerHeight);
    band->setLayout(m_footer);
    m_footer->setContentsMargins(padding, 0, padding, 0);
    m_footer->setSpacing(10);
    column->addWidget(band);

    m_close->move(14, (headerHeight - CloseButton::side) / 2);
    m_close->raise();
    connect(m_close, &CloseButton::clicked, this, &ToolChrome::closeRequested);
}

void ToolChrome::paint(QPainter& painter, QSizeF size, const QString& title, bool rounded)
{
    const QRectF area(QPointF(), size);
    QPainterPath outline;
    if (rounded)
        outline.addRoundedRect(area, radius, radius);
    else
        outline.addRect(area);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // No blur of what lies behind exists here: a warm white stands in for the frosted material.
    painter.fillPath(outline, QColor::fromRgbF(1.0f, 0.98f, 0.96f, rounded ? 0.9f : 1.0f));
    painter.fillPath(outline, Theme::wash(area));
    painter.setClipPath(outline);
    painter.fillRect(QRectF(0, headerHeight, size.width(), rule), ruleColour());
    painter.fillRect(QRectF(0, size.height() - footerHeight - rule, size.width(), rule), ruleColour());
    painter.setClipping(false);

    painter.setFont(Painting::font(painter, 16, QFont::DemiBold));
    painter.setPen(Theme::ink());
    painter.drawText(QRectF(0, 0, size.width(), headerHeight), Qt::AlignCenter | Qt::TextSingleLine, title);

    const double half = rule / 2;
    QPainterPath edge;
    const QRectF inner = area.adjusted(half, half, -half, -half);
    if (rounded)
        edge.addRoundedRect(inner, radius - half, radius - half);
    else
        edge.addRect(inner);
    painter.strokePath(edge, QPen(QColor::fromRgbF(1, 1, 1, 0.45f), rule));
    painter.restore();
}

void ToolChrome::paintEvent(QPaintEvent*)
{
    const auto* panel = qobject_cast<const FloatingPanel*>(window());
    QPainter painter(this);
    paint(painter, size(), m_title, !panel || panel->isTranslucent());
}
