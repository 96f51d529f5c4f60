#pragma once

class QThreadPool;

// The pool that shares out the pieces of one file's work (the strips of an image being encoded),
// one thread per core. Its tasks never wait for one another, so a caller on any thread, a thread
// of this pool included, may queue pieces and wait for them.
namespace Workers {

QThreadPool& pool();

} // namespace Workers
