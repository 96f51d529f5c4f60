#include "core/modifierkey.h"

QList<ModifierKey> allModifierKeys()
{
    return {ModifierKey::shift, ModifierKey::command, ModifierKey::control, ModifierKey::option};
}

QString rawValue(ModifierKey key)
{
    switch (key) {
    case ModifierKey::shift:
        return QStringLiteral("shift");
    case ModifierKey::command:
        return QStringLiteral("command");
    case ModifierKey::control:
        return QStringLiteral("control");
    case ModifierKey::option:
        return QStringLiteral("option");
    }
    return {};
}

std::optional<ModifierKey> modifierKeyFromRaw(const QString& raw)
{
    for (ModifierKey key : allModifierKeys())
        if (rawValue(key) == raw) return key;
    return std::nullopt;
}

QString displayName(ModifierKey key)
{
    switch (key) {
    case ModifierKey::shift:
        return QStringLiteral("Shift");
    case ModifierKey::command:
        return QStringLiteral("Super");
    case ModifierKey::control:
        return QStringLiteral("Control");
    case ModifierKey::option:
        return QStringLiteral("Alt");
    }
    return {};
}

QString glyph(ModifierKey key)
{
    switch (key) {
    case ModifierKey::shift:
        return QStringLiteral("⇧");
    case ModifierKey::command:
        return QStringLiteral("❖");
    case ModifierKey::control:
        return QStringLiteral("⌃");
    case ModifierKey::option:
        return QStringLiteral("⎇");
    }
    return {};
}

QString rawValue(SaveLocation location)
{
    return location == SaveLocation::folder ? QStringLiteral("folder") : QStringLiteral("besideOriginal");
}

std::optional<SaveLocation> saveLocationFromRaw(const QString& raw)
{
    if (raw == QLatin1String("folder")) return SaveLocation::folder;
    if (raw == QLatin1String("besideOriginal")) return SaveLocation::besideOriginal;
    return std::nullopt;
}

QString rawValue(TerminalApp app)
{
    return app == TerminalApp::iterm ? QStringLiteral("iterm") : QStringLiteral("terminal");
}

std::optional<TerminalApp> terminalAppFromRaw(const QString& raw)
{
    if (raw == QLatin1String("iterm")) return TerminalApp::iterm;
    if (raw == QLatin1String("terminal")) return TerminalApp::terminal;
    return std::nullopt;
}
