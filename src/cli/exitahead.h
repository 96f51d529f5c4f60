#pragma once

// Ends the process with `status` at once, leaving the freeing of its memory to a task that
// outlives it: whoever waits for the command (a script, the shell) goes on while the 700-odd
// mappings of the libraries that read media are taken down, some 2 ms. Flushes nothing and
// runs no finalizer, like _exit(). Falls back to a plain _exit() where Linux can't hand the
// memory over (no pidfd_open, a sandbox that refuses the clone).
[[noreturn]] void exitAheadOfTeardown(int status);
