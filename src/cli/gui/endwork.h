#pragma once

#include <chrono>

namespace CLI {

// Before a command's process ends: closes the windows it opened, drops the background work not
// begun (thumbnails, previews, jobs), ends every child still running (again while work goes on,
// since a worker may start its next child) and waits up to `limit` for the pools to empty.
// False when work still ran at the limit.
bool endBackgroundWork(std::chrono::milliseconds limit);

} // namespace CLI
