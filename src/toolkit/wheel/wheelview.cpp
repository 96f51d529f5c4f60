#include "toolkit/wheel/wheelview.h"

#include "toolkit/wheel/wheelgeometry.h"
#include "toolkit/wheel/wheelmodel.h"

#include <QEasingCurve>
#include <QPainter>
#include <QVariantAnimation>

WheelView::WheelView(WheelModel* model, QWidget* parent)
    : QWidget(parent), m_model(model), m_frame(WheelFrame::resting(*model)),
      m_bloomAnimation(new QVariantAnimation(this)), m_highlightAnimation(new QVariantAnimation(this))
{
    setFixedSize(int(WheelGeometry::side), int(WheelGeometry::side));
    setAttribute(Qt::WA_TranslucentBackground);

    QEasingCurve bloomCurve(QEasingCurve::BezierSpline);
    bloomCurve.addCubicBezierSegment(QPointF(0.18, 0.82), QPointF(0.24, 1.0), QPointF(1, 1));
    m_bloomAnimation->setDuration(200);
    m_bloomAnimation->setEasingCurve(bloomCurve);
    connect(m_bloomAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_frame.bloom = value.toDouble();
        update();
    });

    m_highlightAnimation->setDuration(120);
    m_highlightAnimation->setEasingCurve(QEasingCurve::OutCubic);
    m_highlightAnimation->setStartValue(0.0);
    m_highlightAnimation->setEndValue(1.0);
    connect(m_highlightAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        const double t = value.toDouble();
        const WheelFrame target = WheelFrame::resting(*m_model);
        for (int i = 0; i < m_frame.highlight.size() && i < m_highlightFrom.size(); ++i)
            m_frame.highlight[i] = m_highlightFrom[i] + (target.highlight[i] - m_highlightFrom[i]) * t;
        update();
    });

    connect(m_model, &WheelModel::itemsChanged, this, &WheelView::itemsChanged);
    connect(m_model, &WheelModel::highlightedChanged, this, &WheelView::highlightChanged);
    connect(m_model, &WheelModel::bloomChanged, this, &WheelView::bloomChanged);
    connect(m_model, &WheelModel::modeChanged, this, qOverload<>(&WheelView::update));
    connect(m_model, &WheelModel::restingTextChanged, this, qOverload<>(&WheelView::update));
}

void WheelView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.translate((width() - WheelGeometry::side) / 2, (height() - WheelGeometry::side) / 2);
    WheelPainter::paint(painter, *m_model, m_frame);
}

void WheelView::itemsChanged()
{
    // New petals start at rest; there is nothing to ease from.
    m_highlightAnimation->stop();
    m_frame.highlight = WheelFrame::resting(*m_model).highlight;
    update();
}

void WheelView::highlightChanged()
{
    m_highlightAnimation->stop();
    m_highlightFrom = m_frame.highlight;
    m_highlightAnimation->start();
}

void WheelView::bloomChanged()
{
    m_bloomAnimation->stop();
    if (!m_model->bloom()) {
        // Closing is never seen (the panel is already gone); a later bloom grows from 45 %.
        m_frame.bloom = 0;
        update();
        return;
    }
    m_bloomAnimation->setStartValue(m_frame.bloom);
    m_bloomAnimation->setEndValue(1.0);
    m_bloomAnimation->start();
}
