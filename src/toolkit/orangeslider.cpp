#include "toolkit/orangeslider.h"

#include "toolkit/dropshadow.h"
#include "toolkit/theme.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {

constexpr double knob = 20, trackHeight = 4;

} // namespace

OrangeSlider::OrangeSlider(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(height);
    setMinimumWidth(int(knob));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void OrangeSlider::setValue(double value)
{
    if (value == m_state.value) return;
    m_state.value = value;
    update();
}

void OrangeSlider::setRange(double lo, double hi)
{
    if (lo == m_state.lo && hi == m_state.hi) return;
    m_state.lo = lo;
    m_state.hi = std::max(lo, hi);
    update();
}

void OrangeSlider::setStep(std::optional<double> step)
{
    m_state.step = step && *step > 0 ? step : std::nullopt;
}

void OrangeSlider::setCentered(bool centered)
{
    if (centered == m_state.centered) return;
    m_state.centered = centered;
    update();
}

double OrangeSlider::fraction(double value, double lo, double hi)
{
    const double span = hi - lo;
    return span > 0 ? (value - lo) / span : 0;
}

double OrangeSlider::knobX(double width, double fraction)
{
    return (width - knob) * fraction + knob / 2;
}

double OrangeSlider::zeroX(double width, double lo, double hi)
{
    return (width - knob) * ((0 - lo) / std::max(hi - lo, 0.0001)) + knob / 2;
}

double OrangeSlider::valueAt(double x, double width, const State& state)
{
    double t = (x - knob / 2) / (width - knob);
    if (std::isnan(t)) t = 0;
    t = std::clamp(t, 0.0, 1.0);
    double v = state.lo + (state.hi - state.lo) * t;
    if (state.step) v = *state.step * std::round(v / *state.step);
    return std::min(std::max(v, state.lo), state.hi);
}

void OrangeSlider::paint(QPainter& painter, double width, const State& state)
{
    const double mid = height / 2.0;
    const double x = knobX(width, fraction(state.value, state.lo, state.hi));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const double r = trackHeight / 2;
    painter.setBrush(Theme::track());
    painter.drawRoundedRect(QRectF(0, mid - r, width, trackHeight), r, r);
    double from = 0, to = x;
    if (state.centered) {
        const double z = zeroX(width, state.lo, state.hi);
        from = std::min(z, x);
        to = std::max(z, x);
    }
    if (to > from) {
        painter.setBrush(Theme::orange());
        painter.drawRoundedRect(QRectF(from, mid - r, to - from, trackHeight), r, r);
    }
    QPainterPath disc;
    disc.addEllipse(QPointF(x, mid), knob / 2, knob / 2);
    DropShadow::paint(painter, disc, QColor::fromRgbF(0, 0, 0, 0.22f), 2, QPointF(0, 1));
    painter.fillPath(disc, Qt::white);
    painter.restore();
}

void OrangeSlider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, width(), m_state);
}

void OrangeSlider::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_dragging = true;
    dragTo(event->position().x());
}

void OrangeSlider::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging) dragTo(event->position().x());
}

void OrangeSlider::mouseReleaseEvent(QMouseEvent*)
{
    if (!m_dragging) return;
    m_dragging = false;
    emit editingChanged(false);
}

void OrangeSlider::dragTo(double x)
{
    emit editingChanged(true);
    const double v = valueAt(x, width(), m_state);
    setValue(v);
    emit edited(v);
}
