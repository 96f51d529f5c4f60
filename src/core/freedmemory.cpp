#include "core/freedmemory.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>
#include <malloc.h>

namespace {

// Where glibc's own threshold ends up once a large picture has been freed; set, it stays there
// from the start instead of following what was freed last.
constexpr int mappedFrom = 32 << 20;
// Above the few megabytes a reading thread frees and takes again between two pieces of its work,
// so that trimming costs little while it works.
constexpr int keptAtTop = 8 << 20;

std::atomic<bool> queued{false};

} // namespace

namespace FreedMemory {

void holdLittle()
{
    mallopt(M_MMAP_THRESHOLD, mappedFrom);
    mallopt(M_TRIM_THRESHOLD, keptAtTop);
}

void giveBack()
{
    malloc_trim(0);
}

void giveBackSoon()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        giveBack();
        return;
    }
    if (queued.exchange(true)) return;
    // Queued, so that whatever is being deleted with the caller is freed before the heap is walked.
    QMetaObject::invokeMethod(
        app,
        [] {
            queued = false;
            giveBack();
        },
        Qt::QueuedConnection);
}

} // namespace FreedMemory
