#include "cli/etademo.h"

#include "cli/cli.h"
#include "core/job.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QUuid>
#include <algorithm>

namespace CLI {

int etaDemo()
{
    // A fresh title each run, so an earlier demonstration's history never shapes this one.
    const auto job = Job::create(
        QStringLiteral("ETA demo ") + QUuid::createUuid().toString(QUuid::WithoutBraces), QString(), 0);
    job->startEstimating();
    QElapsedTimer clock;
    clock.start();
    // One line a second, the last at eight seconds with the work complete, however late a
    // slice of the event loop comes back on a busy machine.
    for (int mark = 1; mark <= 8;) {
        // Lets the estimate's timer and the queued progress reports run.
        QEventLoop slice;
        QTimer::singleShot(100, &slice, &QEventLoop::quit);
        slice.exec();
        const double t = clock.elapsed() / 1000.0;
        const double p = std::min(1.0, t * 0.125);
        job->report(p);
        if (t < mark) continue;
        const std::optional<double> left = job->remaining();
        const QString estimate = left ? QString::asprintf("%.1fs", *left) : QStringLiteral("–");
        print(QString::asprintf("t=%.0fs  progress=%2.0f%%  estimate=", std::min(t, 8.0), p * 100) +
              estimate);
        while (mark <= t)
            ++mark;
    }
    return 0;
}

} // namespace CLI
