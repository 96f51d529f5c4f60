#include "cli/exitahead.h"

#include <poll.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The task shares the process's memory but not its descriptors (it has a copy, and closes all
// but the pidfd, so that no pipe a caller reads stays open behind it). Its last reference to the
// memory goes when it exits, after the process. It makes only system calls, on a stack of its
// own, and waits at idle priority so that it never runs ahead of the process it outlives.
alignas(16) char holderStack[16 * 1024];
int process = -1; // a pidfd of the process: readable once the process is gone

int holdMemory(void*)
{
    const long fd = process;
    if (fd > 0) ::syscall(SYS_close_range, 0L, fd - 1, 0L);
    ::syscall(SYS_close_range, fd + 1, long(~0U), 0L);
    const sched_param idle{};
    ::syscall(SYS_sched_setscheduler, 0L, long(SCHED_IDLE), &idle);
    pollfd gone{int(fd), POLLIN, 0};
    // Any return ends the wait: at worst the process frees its memory itself.
    ::syscall(SYS_poll, &gone, 1L, -1L);
    ::syscall(SYS_exit, 0L);
    return 0;
}

} // namespace

void exitAheadOfTeardown(int status)
{
    process = int(::syscall(SYS_pidfd_open, long(::getpid()), 0L));
    if (process >= 0) {
        // Without SIGCHLD or CLONE_THREAD: the task is no thread of ours, and its end tells
        // nobody. Reparented when the process ends, it is reaped by whoever adopts it.
        ::clone(holdMemory, holderStack + sizeof holderStack, CLONE_VM, nullptr);
        ::close(process);
    }
    ::_exit(status);
}
