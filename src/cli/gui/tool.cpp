#include "cli/gui/tool.h"

#include "cli/cli.h"
#include "core/converterror.h"
#include "core/interrupts.h"
#include "core/job.h"
#include "core/progress.h"
#include "core/settings.h"
#include "engines/heavyengines.h"

#include <QEventLoop>
#include <QThreadPool>
#include <optional>

namespace CLI {

int tool(const QStringList& rest)
{
    const std::optional<ToolID> id = toolIdFromRaw(rest.first());
    if (!id) {
        print(usageLine());
        return 2;
    }
    const HeavyEngines* engines = nullptr;
    try {
        engines = &Modules::entries<HeavyEngines>();
    } catch (const std::exception& e) {
        print(QStringLiteral("error: ") + errorDescription(e));
        return 1;
    }
    const InstantTools::Tool* row = engines->instantTool(*id);
    if (!row) {
        print(rawValue(*id) + QStringLiteral(" needs its window"));
        return 2;
    }
    const QStringList files = paths(rest.mid(1));
    // The settings object belongs to the thread that first asks for it: this one, not a worker.
    Settings::shared();
    Interrupts interrupts;
    Job job(QString(), QString(), 0);
    QEventLoop loop;
    QObject::connect(&interrupts, &Interrupts::interrupted, &loop, [&job] { job.cancel(); });

    // The work runs beside the event loop, so that a signal can cancel it and let it clean up.
    QStringList results;
    std::optional<QString> error;
    QThreadPool pool;
    pool.start([&] {
        try {
            results = engines->instantWork(*row, files, job, [](double) {});
        } catch (const std::exception& e) {
            error = errorDescription(e);
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    pool.waitForDone();

    if (const int signal = Interrupts::received()) return 128 + signal;
    if (error) {
        print(QStringLiteral("error: ") + *error);
        return 1;
    }
    if (results.isEmpty()) print(QString());
    for (const QString& result : results)
        print(result);
    return 0;
}

} // namespace CLI
