#include "toolkit/pools.h"

#include <QThread>

namespace {

QThreadPool* make(const char* name)
{
    auto* pool = new QThreadPool(QCoreApplication::instance());
    pool->setObjectName(QString::fromLatin1(name));
    pool->setMaxThreadCount(QThread::idealThreadCount());
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

} // namespace Pools
