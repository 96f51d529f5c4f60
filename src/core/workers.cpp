#include "core/workers.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>

namespace Workers {

QThreadPool& pool()
{
    // Not owned by the application: a pool first asked for on a worker thread could not be its
    // child, and its threads end on their own once idle.
    static QThreadPool* const threads = [] {
        auto* p = new QThreadPool;
        p->setObjectName(QStringLiteral("Workers"));
        p->setMaxThreadCount(QThread::idealThreadCount());
        return p;
    }();
    return *threads;
}

} // namespace Workers
