#include "core/wheelmode.h"

QList<WheelMode> allWheelModes()
{
    return {WheelMode::conversions, WheelMode::tools, WheelMode::actions};
}

QString rawValue(WheelMode mode)
{
    switch (mode) {
    case WheelMode::conversions:
        return QStringLiteral("conversions");
    case WheelMode::tools:
        return QStringLiteral("tools");
    case WheelMode::actions:
        return QStringLiteral("actions");
    }
    return {};
}

std::optional<WheelMode> wheelModeFromRaw(const QString& raw)
{
    for (WheelMode mode : allWheelModes()) {
        if (rawValue(mode) == raw) return mode;
    }
    return std::nullopt;
}
