#include "cli/etademo.h"

#include "cli/cli.h"
#include "core/job.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QUuid>

namespace CLI {

int etaDemo()
{
    // A fresh title each run, so an earlier demonstration's history never shapes this one.
    const auto job = Job::create(
        QStringLiteral("ETA demo ") + QUuid::createUuid().toString(QUuid::WithoutBraces), QString(), 0);
    job->startEstimating();
    QElapsedTimer clock;
    clock.start();
    double mark = 1;
    while (true) {
        double t = clock.elapsed() / 1000.0;
        if (t >= 8) return 0;
        // Lets the estimate's timer and the queued progress reports run.
        QEventLoop slice;
        QTimer::singleShot(100, &slice, &QEventLoop::quit);
        slice.exec();
        t = clock.elapsed() / 1000.0;
        const double p = t * 0.125;
        job->report(p);
        if (t >= mark) {
            const std::optional<double> left = job->remaining();
            const QString estimate = left ? QString::asprintf("%.1fs", *left) : QStringLiteral("–");
            print(QString::asprintf("t=%.0fs  progress=%2.0f%%  estimate=", t, p * 100) + estimate);
            mark += 1;
        }
    }
}

} // namespace CLI
