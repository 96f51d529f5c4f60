#pragma once

#include <QtGlobal>

// Windows that belong to the whole desktop rather than to one of its workspaces.
namespace Workspaces {

// Marks the native window `window`, before it is mapped, to show on every workspace: sticky in
// its window-manager state and on desktop 0xFFFFFFFF, as the window manager reads them at the
// mapping. Does nothing off X11.
void showOnAll(quintptr window);

} // namespace Workspaces
