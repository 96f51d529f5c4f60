#include "cli/gui/endwork.h"

#include "core/jobs.h"
#include "core/shell.h"
#include "toolkit/pools.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEvent>

namespace CLI {

namespace {

constexpr int pollMs = 50;

} // namespace

bool endBackgroundWork(std::chrono::milliseconds limit)
{
    const QDeadlineTimer deadline(limit);
    // A closed window stops its playback and previews and drops the results still to come.
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) QApplication::closeAllWindows();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QThreadPool* pools[] = {&Pools::preview(), &Pools::loader()};
    for (QThreadPool* pool : pools)
        pool->clear();
    bool jobsDone = Jobs::stopAll(std::chrono::milliseconds(0));
    for (;;) {
        Shell::terminateAll();
        bool done = true;
        for (QThreadPool* pool : pools)
            done = pool->waitForDone(pollMs) && done;
        jobsDone = jobsDone || Jobs::stopAll(std::chrono::milliseconds(0));
        if (done && jobsDone) return true;
        if (deadline.hasExpired()) return false;
    }
}

} // namespace CLI
