#pragma once

#include <QList>
#include <QString>
#include <optional>

// The three wheels, each opened by its own modifier key.
enum class WheelMode { conversions, tools, actions };

QList<WheelMode> allWheelModes();
QString rawValue(WheelMode mode);
std::optional<WheelMode> wheelModeFromRaw(const QString& raw);
