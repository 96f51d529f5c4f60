#pragma once

#include <QList>
#include <QString>
#include <optional>

// The shape of a framed picture's canvas, in the order the window offers them.
enum class FrameRatio { auto_, square, wide, portrait };

namespace FrameRatios {

const QList<FrameRatio>& all();
// "Auto", "1:1", "16:9", "4:5": also the window's labels.
QString rawValue(FrameRatio ratio);
std::optional<FrameRatio> fromRaw(const QString& raw);
// Width ÷ height of the canvas; none for auto, whose canvas is whatever the padding gives.
std::optional<double> value(FrameRatio ratio);

} // namespace FrameRatios
