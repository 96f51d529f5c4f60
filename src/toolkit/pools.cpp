#include "toolkit/pools.h"

#include <QMutex>
#include <QThread>
#include <QWaitCondition>
#include <algorithm>
#include <atomic>

namespace {

QThreadPool* make(const char* name)
{
    auto* pool = new QThreadPool;
    pool->setObjectName(QString::fromLatin1(name));
    pool->setMaxThreadCount(QThread::idealThreadCount());
    // The application owns the pool, and a parent must live on its child's thread: a pool first
    // asked for by a job's worker is handed to the main thread and adopted there.
    QCoreApplication* app = QCoreApplication::instance();
    if (QThread::currentThread() == app->thread()) {
        pool->setParent(app);
    } else {
        pool->moveToThread(app->thread());
        QMetaObject::invokeMethod(
            app, [pool, app] { pool->setParent(app); }, Qt::QueuedConnection);
    }
    return pool;
}

} // namespace

namespace Pools {

QThreadPool& preview()
{
    static QThreadPool* const pool = make("Preview");
    return *pool;
}

QThreadPool& loader()
{
    static QThreadPool* const pool = make("Loader");
    return *pool;
}

void forBands(QThreadPool& pool, int count, int band, const std::function<void(int, int)>& work)
{
    band = std::max(1, band);
    const int bands = (count + band - 1) / band;
    std::atomic<int> next{0};
    auto drain = [&] {
        for (int b = next++; b < bands; b = next++)
            work(b * band, std::min(count, (b + 1) * band));
    };
    QMutex lock;
    QWaitCondition idle;
    int running = 0;
    for (int extra = 1; extra < std::min(bands, pool.maxThreadCount()); ++extra) {
        QMutexLocker locked(&lock);
        if (!pool.tryStart([&] {
                drain();
                QMutexLocker done(&lock);
                if (--running == 0) idle.wakeAll();
            }))
            break;
        ++running;
    }
    drain();
    QMutexLocker locked(&lock);
    while (running > 0)
        idle.wait(&lock);
}

} // namespace Pools
