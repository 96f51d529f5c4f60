#pragma once

#include "core/toolid.h"

#include <QList>
#include <QSize>
#include <QStringList>
#include <memory>
#include <span>

class ToolContext;
class ToolView;
class ToolWindow;

// The tool windows: which view and size each tool has, and the windows open now.
namespace ToolWindows {

struct Route
{
    ToolID tool;
    QSize size; // of the window
    ToolView* (*make)(std::shared_ptr<ToolContext> context);
};

// One row per tool, in the order of ToolID.
std::span<const Route> routes();

// Opens a new window of `tool` for `files` in drop order, centred on the screen under the
// pointer, and shows it; also when one is open already for other files. Refuses an empty list
// (null). The window stays registered until it begins to close. Main thread.
ToolWindow* open(ToolID tool, const QStringList& files);

// The tool windows open now, oldest first.
QList<ToolWindow*> openWindows();

} // namespace ToolWindows
