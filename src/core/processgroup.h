#pragma once

#include <chrono>
#include <sys/types.h>

// The end of a child's process group, for the process runner. Linux only: it reads /proc.
namespace ProcessGroup {

// Whether a process of `group` still lives; zombies, which only wait to be reaped, do not count.
bool hasLiving(pid_t group);

// Ends everything left in `group`: SIGTERM at once, then SIGKILL from `killAt` on, again for
// whatever forks meanwhile, until no member lives. Gives up on a member that stays past `killAt`
// plus a few seconds (one stuck in the kernel). Call it before reaping the group's leader, whose
// zombie keeps the group's id from being reused meanwhile.
void end(pid_t group, std::chrono::steady_clock::time_point killAt);

} // namespace ProcessGroup
