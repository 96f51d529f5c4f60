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

// "<name> (<size>)", the size as file browsers give it.
QString sized(const QString& file)
{
    return QFileInfo(file).fileName() + QStringLiteral(" (") + Fmt::byteCount(Fmt::fileSize(file)) +
           QLatin1Char(')');
}

// Each result by its file name and size, or what the tool rightly left alone.
QString passLine(const QString& name, const SelfChecks::Outcome& outcome, double seconds)
{
    QStringList files;
    for (const QString& result : outcome.files)
        files << sized(result);
    const QString what =
        outcome.files.isEmpty() && !outcome.unimproved.isEmpty()
            ? QStringLiteral("nothing smaller than %1 to keep").arg(sized(outcome.unimproved))
            : files.join(QStringLiteral(", "));
    return QStringLiteral("✓ ") + name + QStringLiteral(": ") + what +
           QString::asprintf("  [%.1fs]", seconds);
}

QString selfTestSummary(int failures)
{
    if (failures == 0) return QStringLiteral("All tool checks passed.");
    return QString::number(failures) + QStringLiteral(" tool checks failed.");
}

} // namespace

CheckLine runCheck(const SelfChecks::Check& check, const QString& samples, Job& job)
{
    QElapsedTimer timer;
    timer.start();
    try {
        SelfChecks::requireSamples(check, samples);
        const SelfChecks::Outcome outcome = check.work(samples, job);
        return {true, passLine(check.name, outcome, double(timer.nsecsElapsed()) / 1e9)};
    } catch (const std::exception& e) {
        // The message alone: the programs' own lines behind it stay off the terminal.
        return {false, QStringLiteral("✗ ") + check.name + QStringLiteral(": ") + errorDescription(e)};
    }
}

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
            const CheckLine line = runCheck(check, samples, job);
            print(line.text);
            if (!line.passed) ++failures;
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
