#include "cli/gui/selftest.h"

#include "cli/cli.h"
#include "core/converterror.h"
#include "core/fmt.h"
#include "core/interrupts.h"
#include "core/job.h"
#include "core/settings.h"
#include "tools/selfchecks.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QThreadPool>
#include <atomic>

namespace CLI {

namespace {

// Each result by its file name and its size as file browsers give it.
QString passLine(const QString& name, const QStringList& results, double seconds)
{
    QStringList files;
    for (const QString& result : results)
        files << QFileInfo(result).fileName() + QStringLiteral(" (") + Fmt::byteCount(Fmt::fileSize(result)) +
                     QLatin1Char(')');
    return QStringLiteral("✓ ") + name + QStringLiteral(": ") + files.join(QStringLiteral(", ")) +
           QString::asprintf("  [%.1fs]", seconds);
}

QString selfTestSummary(int failures)
{
    if (failures == 0) return QStringLiteral("All tool checks passed.");
    return QString::number(failures) + QStringLiteral(" tool checks failed.");
}

// Prints the check's line; returns whether it passed.
bool runCheck(const SelfChecks::Check& check, const QString& samples, Job& job)
{
    QElapsedTimer timer;
    timer.start();
    try {
        const QStringList results = check.work(samples, job);
        print(passLine(check.name, results, double(timer.nsecsElapsed()) / 1e9));
        return true;
    } catch (const std::exception& e) {
        // The message alone: the programs' own lines behind it stay off the terminal.
        print(QStringLiteral("✗ ") + check.name + QStringLiteral(": ") + errorDescription(e));
        return false;
    }
}

} // namespace

int selfTest(const QStringList& rest)
{
    const QString samples = path(rest.first());
    // The checks run on the default settings in a store of their own: results go beside the
    // samples whatever the user chose, and nothing a check stores reaches the user's settings.
    const QTemporaryDir ownSettings;
    if (!ownSettings.isValid()) {
        print(QStringLiteral("error: Couldn’t create a temporary folder: ") + ownSettings.errorString());
        return 1;
    }
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, ownSettings.path());
    // The settings object belongs to the thread that first asks for it: this one, not the worker.
    Settings::shared().reload();
    Interrupts interrupts;
    Job job(QString(), QString(), 0);
    std::atomic<bool> stopping{false};
    QEventLoop loop;
    QObject::connect(&interrupts, &Interrupts::interrupted, &loop, [&] {
        stopping = true;
        job.cancel();
    });

    // The checks run beside the event loop, so that a signal can cancel the one running.
    int failures = 0;
    QThreadPool pool;
    pool.start([&] {
        for (const SelfChecks::Check& check : SelfChecks::all()) {
            if (stopping) break;
            if (!runCheck(check, samples, job)) ++failures;
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    pool.waitForDone();

    if (const int signal = Interrupts::received()) return 128 + signal;
    print(selfTestSummary(failures));
    return failures == 0 ? 0 : 1;
}

} // namespace CLI
