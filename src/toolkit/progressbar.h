#pragma once

#include <QRectF>
#include <optional>

class QPainter;

// The thin capsule bar of a progress panel.
namespace ProgressBar {

constexpr double height = 4;
// Share of the width taken by the sliding segment of an indeterminate bar.
constexpr double segment = 0.3;

// Draws the bar into `rect`: the value's share of the width filled (never less than a dot),
// or without a value a segment offset by `phase` (0…1) from the left edge to the right.
void paint(QPainter& painter, const QRectF& rect, std::optional<double> value, double phase);

} // namespace ProgressBar
