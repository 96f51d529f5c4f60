#pragma once

#include "core/toolid.h"

#include <QStringList>

// The windows of the editing tools. Main thread.
namespace ToolWindows {

// Opens the tool's window for the files. No tool has its window in this build yet: a toast
// names the tool and says so.
void open(ToolID tool, const QStringList& files);

} // namespace ToolWindows
