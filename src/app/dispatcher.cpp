#include "app/dispatcher.h"

#include "app/fileactions.h"
#include "app/toast.h"
#include "core/catalog.h"
#include "core/converterror.h"
#include "core/jobs.h"
#include "core/progress.h"
#include "engines/converter.h"
#include "engines/heavyengines.h"
#include "tools/toolwindows.h"

#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

namespace {

bool isPackageKind(const QString& kind)
{
    return kind == QLatin1String("rtfd") || kind == QLatin1String("pages") || kind == QLatin1String("key") ||
           kind == QLatin1String("numbers");
}

// Whether the file is already in the format `target`.
bool alreadyIn(const QString& file, const QString& target)
{
    const QString name = QFileInfo(file).fileName().toLower();
    if (name.endsWith(QLatin1String(".tar.gz"))) return target == QLatin1String("gz");
    std::error_code error;
    const bool folder =
        std::filesystem::is_directory(std::filesystem::path(QFile::encodeName(file).constData()), error);
    QString kind = QFileInfo(file).suffix().toLower();
    if (folder && !isPackageKind(kind)) return false;
    kind = Catalog::aliases().value(kind, kind);
    if (!Catalog::category(kind)) return false;
    return kind == target;
}

void startConversion(const QString& title, const QString& target, const QStringList& files,
                     std::optional<QPointF> at)
{
    Jobs::run(title, files, at, [target](const QString& file, Job& job, const Progress& progress) {
        return Converter::convert(file, target, job, progress);
    });
}

} // namespace

namespace Dispatcher {

Routes defaultRoutes()
{
    return {
        .convert = startConversion,
        .instant =
            [](ToolID tool, const QStringList& files, std::optional<QPointF> at) {
                Modules::entries<HeavyEngines>().runInstant(tool, files, at);
            },
        .window = [](ToolID tool, const QStringList& files) { ToolWindows::open(tool, files); },
        .action = [](ActionID action, const QStringList& files) { FileActions::perform(action, files); },
        .note = [](const QString& title, const QString& detail) { Toast::show(title, detail); },
    };
}

QStringList filesToConvert(const QStringList& files, const QString& target)
{
    QStringList kept;
    for (const QString& file : files)
        if (!alreadyIn(file, target)) kept << file;
    return kept;
}

void perform(const WheelItem& item, const QStringList& files, QPointF at)
{
    perform(item, files, at, defaultRoutes());
}

void perform(const WheelItem& item, const QStringList& files, QPointF at, const Routes& routes)
{
    if (files.isEmpty()) return;
    if (const auto target = item.formatKey()) {
        const QString label = item.title();
        const QStringList kept = filesToConvert(files, *target);
        if (kept.isEmpty()) {
            const QString detail = files.size() == 1 ? QFileInfo(files.first()).fileName()
                                                     : QStringLiteral("%1 items").arg(files.size());
            routes.note(QStringLiteral("Already ") + label, detail);
            return;
        }
        routes.convert(QStringLiteral("Converting to ") + label, *target, kept, at);
    } else if (const auto tool = item.toolId()) {
        if (!isWindowless(*tool)) {
            routes.window(*tool, files);
            return;
        }
        // The windowless tools live in the engines' module; one that cannot be loaded is said.
        try {
            routes.instant(*tool, files, at);
        } catch (const std::exception& e) {
            routes.note(item.title(), errorDescription(e));
        }
    } else if (const auto action = item.actionId()) {
        routes.action(*action, files);
    }
}

} // namespace Dispatcher
