#pragma once

#include <QPainterPath>
#include <QPointF>
#include <optional>

// The petal outlines of the wheel and the hit test, in wheel-centre coordinates: origin at the
// centre, x to the right, y downward. Angles are counter-clockwise as seen on screen, so
// P(r, θ) = (r·cos θ, −r·sin θ) and θ = π/2 is straight up; petals run clockwise from the top.
namespace WheelGeometry {

inline constexpr double innerRadius = 48.64;  // also where the hit band starts
inline constexpr double outerRadius = 119.52; // also where the hit band ends
inline constexpr double labelRadius = 84.5312;
inline constexpr double side = 320; // the wheel's square frame

QPointF polar(double radius, double angle);

// The centre angle of petal `index` of `count`: from the top clockwise, or from the left when
// there are exactly three petals.
double centreAngle(int index, int count);

// The closed outline of one petal (count ≥ 1), non-zero fill. The same path is drawn and used
// by the hit test, so what lights up is exactly what is drawn.
QPainterPath petal(int index, int count);

// The petal under `point`, or none for the centre hole, the gaps, the outside and count < 1.
std::optional<int> hitTest(QPointF point, int count);

// Two concentric circles about `centre`, even-odd filled: the annulus between the radii.
QPainterPath ring(QPointF centre, double outer, double inner);

} // namespace WheelGeometry
