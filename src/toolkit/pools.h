#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <functional>
#include <utility>

// The named thread pools of the windows' background work, owned by the application object.
namespace Pools {

// Preview renders of the tool windows.
QThreadPool& preview();
// Decoding of pictures, thumbnails and searches in them.
QThreadPool& loader();

// Calls `work(first, end)` for the bands of `band` rows that cover [0, count), on the calling
// thread and on whichever of `pool`'s threads are free at once; returns when all are done. Safe
// to call from a thread of `pool` itself, as it never waits for a thread to come free.
void forBands(QThreadPool& pool, int count, int band, const std::function<void(int, int)>& work);

// Runs `work` on `pool` and hands its result to `done` on the main thread, unless `receiver`
// is gone by then: a window closed meanwhile never hears of it. Call on the main thread.
template <class T>
void deliver(QThreadPool& pool, QObject* receiver, std::function<T()> work, std::function<void(T)> done)
{
    auto handOver = [receiver = QPointer<QObject>(receiver), done = std::move(done)](T result) {
        if (receiver) done(std::move(result));
    };
    pool.start([work = std::move(work), handOver = std::move(handOver)]() mutable {
        T result = work();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [handOver = std::move(handOver), result = std::move(result)]() mutable {
                handOver(std::move(result));
            },
            Qt::QueuedConnection);
    });
}

} // namespace Pools
