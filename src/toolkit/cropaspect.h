#pragma once

#include <QList>
#include <QString>
#include <optional>

// The aspect presets of the crop windows; the raw value is also the label shown.
enum class CropAspect { free, square, wide, tall, fourThree, threeFour, fourFive };

QList<CropAspect> allCropAspects();
QString rawValue(CropAspect aspect);
std::optional<CropAspect> cropAspectFromRaw(const QString& raw);
// Width over height in pixels; none for a free rectangle.
std::optional<double> ratio(CropAspect aspect);
