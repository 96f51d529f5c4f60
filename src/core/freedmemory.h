#pragma once

// Memory the process has freed but malloc still holds goes back to the system. glibc keeps what
// a thread frees in that thread's arena, and pages freed inside an arena stay resident until they
// are trimmed: a resident process that once held large pictures would keep their size for good.
namespace FreedMemory {

// For a process that stays: no thread's arena keeps more than a few megabytes free at its top,
// which giveBack() can't reach, and the largest blocks (a big picture's pixels) are mapped on
// their own and go back to the system when freed. Without it, glibc lets every thread's arena
// keep up to twice the largest block freed so far. Call once, at start.
void holdLittle();

// Returns every arena's free pages to the system now. It walks the whole heap: call it once
// large work has ended (a window closed, a job finished), never on a path that runs often.
void giveBack();

// giveBack() on the main thread once the event loop is free, once however often it is asked for
// before then; at once without an application. Any thread.
void giveBackSoon();

} // namespace FreedMemory
