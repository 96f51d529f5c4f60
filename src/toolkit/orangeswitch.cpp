#include "toolkit/orangeswitch.h"

#include "toolkit/dropshadow.h"
#include "toolkit/theme.h"

#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

namespace {

QColor mix(const QColor& a, const QColor& b, double t)
{
    const auto lerp = [t](float x, float y) { return float(x + (y - x) * t); };
    return QColor::fromRgbF(lerp(a.redF(), b.redF()), lerp(a.greenF(), b.greenF()),
                            lerp(a.blueF(), b.blueF()), lerp(a.alphaF(), b.alphaF()));
}

} // namespace

OrangeSwitch::OrangeSwitch(QWidget* parent)
    : QAbstractButton(parent), m_animation(new QVariantAnimation(this))
{
    setCheckable(true);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(sizeHint());
    m_animation->setDuration(150);
    m_animation->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_position = v.toDouble();
        update();
    });
}

bool OrangeSwitch::isAnimating() const
{
    return m_animation->state() == QAbstractAnimation::Running;
}

void OrangeSwitch::checkStateSet()
{
    // Called on every setChecked, signals blocked or not; toggled alone would miss a blocked one.
    slide(isChecked());
}

void OrangeSwitch::nextCheckState()
{
    // A click by mouse or keyboard changes the state with checkStateSet held back, so the knob
    // is moved here for the user's own clicks.
    QAbstractButton::nextCheckState();
    slide(isChecked());
}

void OrangeSwitch::slide(bool on)
{
    const double end = on ? 1.0 : 0.0;
    if (isAnimating() ? m_animation->endValue().toDouble() == end : m_position == end) return;
    m_animation->stop();
    m_animation->setStartValue(m_position);
    m_animation->setEndValue(end);
    if (isVisible())
        m_animation->start();
    else
        m_position = end; // nothing to watch
}

void OrangeSwitch::paint(QPainter& painter, const QRectF& rect, double position)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(mix(Theme::track(), Theme::orange(), position));
    const double r = rect.height() / 2;
    painter.drawRoundedRect(rect, r, r);
    const double d = rect.height() - 4;
    const double x = rect.left() + 2 + (rect.width() - 4 - d) * position;
    QPainterPath knob;
    knob.addEllipse(QRectF(x, rect.top() + 2, d, d));
    DropShadow::paint(painter, knob, QColor::fromRgbF(0, 0, 0, 0.2f), 1.5, QPointF(0, 1));
    painter.fillPath(knob, Qt::white);
    painter.restore();
}

void OrangeSwitch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, rect(), m_position);
}
