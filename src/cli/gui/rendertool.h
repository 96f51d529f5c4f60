#pragma once

#include "core/toolid.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace CLI {

// Opens the window of `tool` for `files` as a drop on its petal would, waits until its view
// has loaded its files or given up on them, and writes the window over the tool-window
// backdrop as a PNG of the window's size, transparent where the window draws nothing (its
// rounded corners). Returns the path written, or none when no tool window opened; throws
// ConvertError, also when the view is still loading after a minute. The window stays open.
std::optional<QString> renderTool(ToolID tool, const QString& pngPath, const QStringList& files);

} // namespace CLI
