#pragma once

#include <QList>
#include <QString>
#include <optional>

// The key that opens a wheel mode when tapped during a drag.
enum class ModifierKey { shift, command, control, option };

QList<ModifierKey> allModifierKeys();
QString rawValue(ModifierKey key);
std::optional<ModifierKey> modifierKeyFromRaw(const QString& raw);
// "Shift", "Super", "Control", "Alt": the names this desktop gives the keys.
QString displayName(ModifierKey key);
// ⇧ ❖ ⌃ ⎇, shown in the tray menu.
QString glyph(ModifierKey key);

// Where results go.
enum class SaveLocation { besideOriginal, folder };
QString rawValue(SaveLocation location);
std::optional<SaveLocation> saveLocationFromRaw(const QString& raw);

// The terminal the terminal action opens: the desktop's default one, or the alternative.
enum class TerminalApp { terminal, iterm };
QString rawValue(TerminalApp app);
std::optional<TerminalApp> terminalAppFromRaw(const QString& raw);
