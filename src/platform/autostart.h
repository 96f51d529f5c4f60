#pragma once

#include <QString>
#include <optional>

// Opening Tolvane at login: an XDG autostart entry, "tolvane.desktop" in the autostart folder of
// the user's configuration folder ($XDG_CONFIG_HOME, else ~/.config).
namespace Autostart {

QString entryPath();

// Whether the entry is there and not hidden (a desktop's settings hide entries with Hidden=true).
bool isEnabled();

// Writes the entry, starting `program`, or removes it. Returns why it couldn't, in plain words;
// none on success.
std::optional<QString> setEnabled(bool on, const QString& program);

} // namespace Autostart
