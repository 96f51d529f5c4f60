#include "cli/gui/selftest.h"

#include "cli/cli.h"
#include "core/converterror.h"
#include "core/fmt.h"
#include "core/interrupts.h"
#include "core/job.h"
#include "core/progress.h"
#include "core/settings.h"
#include "engines/heavyengines.h"
#include "tools/image/cropimage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QThreadPool>
#include <atomic>
#include <functional>
#include <vector>

namespace CLI {

namespace {

// One operation of the self-test: the label printed for it and its work over the samples'
// folder, which returns the paths it wrote or throws.
struct SelfCheck
{
    QString name;
    std::function<QStringList(const QString& samples, Job& job)> work;
};

const Progress ignored = [](double) {};

QString sample(const QString& samples, const char* name)
{
    return QDir(samples).filePath(QString::fromLatin1(name));
}

// A windowless tool's work over `files`, as its petal runs it.
QStringList instant(ToolID tool, const QStringList& files, Job& job)
{
    const HeavyEngines& engines = Modules::entries<HeavyEngines>();
    return engines.instantWork(*engines.instantTool(tool), files, job, ignored);
}

// Every tool's checks in the order they run, each the operation its window or petal runs.
const std::vector<SelfCheck>& selfChecks()
{
    static const std::vector<SelfCheck> checks{
        {QStringLiteral("crop"),
         [](const QString& dir, Job& job) {
             return CropImage::cropFile(sample(dir, "photo.jpg"), QRectF(0.1, 0.1, 0.5, 0.4), job, ignored);
         }},
        {QStringLiteral("create pdf"),
         [](const QString& dir, Job& job) {
             return instant(ToolID::createPDF, {sample(dir, "photo.jpg"), sample(dir, "photo.png")}, job);
         }},
        {QStringLiteral("split pdf"),
         [](const QString& dir, Job& job) {
             return instant(ToolID::splitPDF, {sample(dir, "sample.pdf")}, job);
         }},
        {QStringLiteral("mute"),
         [](const QString& dir, Job& job) {
             return instant(ToolID::muteVideo, {sample(dir, "clip.mp4")}, job);
         }},
    };
    return checks;
}

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
bool runCheck(const SelfCheck& check, const QString& samples, Job& job)
{
    QElapsedTimer timer;
    timer.start();
    try {
        const QStringList results = check.work(samples, job);
        print(passLine(check.name, results, double(timer.nsecsElapsed()) / 1e9));
        return true;
    } catch (const std::exception& e) {
        print(QStringLiteral("✗ ") + check.name + QStringLiteral(": ") + errorDescription(e));
        for (const QString& detail : errorDetails(e).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            printError(QStringLiteral("    ") + detail);
        return false;
    }
}

} // namespace

int selfTest(const QStringList& rest)
{
    const QString samples = path(rest.first());
    // The settings object belongs to the thread that first asks for it: this one, not the worker.
    Settings::shared();
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
        for (const SelfCheck& check : selfChecks()) {
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
