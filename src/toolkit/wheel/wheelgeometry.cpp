#include "toolkit/wheel/wheelgeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace WheelGeometry {

namespace {

constexpr double pi = std::numbers::pi;
constexpr double cornerRadius = 99.36; // where the outer-corner curve leaves the side edge
constexpr double arcStep = pi / 90;
constexpr int minimumSegments = 6;

// Angle between a slot's boundary ray and the side edge 2 pt inside it, at radius r.
double edgeAngle(double r)
{
    return r > 2.01 ? std::asin(std::min(2 / r, 0.95)) : std::asin(0.95);
}

double startAngle(int count)
{
    return count == 3 ? pi : pi / 2;
}

int segments(double from, double to)
{
    return std::max(int(std::trunc(std::abs(to - from) / arcStep)), minimumSegments);
}

} // namespace

QPointF polar(double radius, double angle)
{
    return {radius * std::cos(angle), -radius * std::sin(angle)};
}

double centreAngle(int index, int count)
{
    return startAngle(count) - index * (2 * pi / count);
}

QPainterPath petal(int index, int count)
{
    const double s = 2 * pi / count;
    const double c = centreAngle(index, count);
    const double a1 = c - s / 2, a2 = c + s / 2;
    const double gO = edgeAngle(outerRadius), gI = edgeAngle(innerRadius), gM = edgeAngle(cornerRadius);

    const double oS = a1 + gO, oE = a2 - gO;
    const double iS = a1 + gI, iE = a2 - gI;
    const double cO = std::min(0.24 * (oE - oS), 0.15);
    const double cI = std::min(0.18 * (iE - iS), 0.18);
    // The inner corner's control radius lies where the inner circle's tangent at iE − cI meets
    // the ray at iE; the curve leaves the side edge one tangent length further out.
    const double rc = innerRadius / std::max(std::cos(cI), 0.01);
    const double re = rc + innerRadius * std::tan(cI);

    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.moveTo(polar(re, a1 + edgeAngle(re)));
    path.lineTo(polar(cornerRadius, a1 + gM));
    path.quadTo(polar(outerRadius, oS), polar(outerRadius, oS + cO));

    const double a = oS + cO, b = oE - cO;
    const int n = segments(a, b);
    for (int k = 1; k <= n; ++k)
        path.lineTo(polar(outerRadius, a + (b - a) * k / n));

    path.quadTo(polar(outerRadius, oE), polar(cornerRadius, a2 - gM));
    path.lineTo(polar(re, a2 - edgeAngle(re)));
    path.quadTo(polar(rc, a2 - edgeAngle(rc)), polar(innerRadius, iE - cI));

    const double ia = iE - cI, ib = iS + cI;
    const int ni = segments(ia, ib);
    for (int k = 1; k <= ni; ++k)
        path.lineTo(polar(innerRadius, ia + (ib - ia) * k / ni));

    path.quadTo(polar(rc, a1 + edgeAngle(rc)), polar(re, a1 + edgeAngle(re)));
    path.closeSubpath();
    return path;
}

std::optional<int> hitTest(QPointF point, int count)
{
    const double d = std::hypot(point.x(), point.y());
    if (count < 1) return std::nullopt;
    if (!(innerRadius <= d && d <= outerRadius)) // also refuses NaN
        return std::nullopt;

    const double theta = std::atan2(-point.y(), point.x());
    const double s = 2 * pi / count;
    const double b = startAngle(count);
    const double r = std::fmod(std::fmod(b - theta, 2 * pi) + 2 * pi, 2 * pi);
    const int index = int(std::round(r / s)) % count;

    const double c = b - index * s;
    const double delta = std::abs(std::atan2(std::sin(theta - c), std::cos(theta - c)));
    if (s / 2 - std::asin(2 / d) < delta) // in the gap at the point's own radius
        return std::nullopt;

    if (!petal(index, count).contains(point)) // cut off by a rounded corner
        return std::nullopt;
    return index;
}

QPainterPath ring(QPointF centre, double outer, double inner)
{
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    path.addEllipse(centre, outer, outer);
    path.addEllipse(centre, inner, inner);
    return path;
}

} // namespace WheelGeometry
