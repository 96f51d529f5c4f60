#pragma once

#include "engines/media/toolchoices.h"

#include <QRectF>

// The timeline's positions and gestures as plain maths over its width `w` and the video's
// duration, so that views and tests share one rule.
namespace TimelineGeometry {

constexpr double height = 54;
constexpr double handleWidth = 22;
// The shortest range the handles leave, in seconds.
constexpr double minimumRange = 0.1;

// The duration positions are taken from: never below 0.001, so nothing divides by zero.
double span(double duration);
// The horizontal position of time `t`.
double x(double t, double w, double duration);
// The time a click or scrub at `px` seeks to: the pointer clamped onto the strip.
double scrub(double px, double w, double duration);

// The range after a handle drag that began on the bound `grab` and has moved `translation`
// so far: the handle's value clamped into 0…duration, at least the minimum from the other
// bound, and the whole range inside 0…duration (a video shorter than the minimum is kept whole).
TimeRange drag(bool leading, double grab, double translation, double w, double duration, TimeRange range);

// The frames of the two handles; each reaches 4 points outside the range.
QRectF leadingHandle(const TimeRange& range, double w, double duration);
QRectF trailingHandle(const TimeRange& range, double w, double duration);
// The bar of a split marker at `t`, 3 points wide and centred on it.
QRectF marker(double t, double w, double duration);

} // namespace TimelineGeometry
