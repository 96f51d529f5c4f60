#include "platform/desktop.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QTemporaryFile>
#include <QTimer>
#include <QUrl>
#include <unistd.h>

namespace {

// The last non-empty line of what a program wrote, none when it wrote nothing.
QString lastLine(QFile& log)
{
    if (!log.open(QIODevice::ReadOnly)) return {};
    const QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.last().trimmed();
}

// xdg-open ends at once with a failure when nothing on the desktop can open a folder.
constexpr auto openerWatch = std::chrono::seconds(3);

} // namespace

namespace Desktop {

void reveal(const QStringList& paths, const std::function<std::optional<QString>(const QString&)>& find,
            std::function<void(const QString& why)> failed)
{
    if (paths.isEmpty()) return;
    const QString folder = QFileInfo(paths.first()).absolutePath();
    // Found now: the fallback may run after the caller's finder is gone.
    const std::optional<QString> opener = find(QStringLiteral("xdg-open"));
    const auto openFolder = [folder, opener, failed] {
        if (!opener) {
            failed(QStringLiteral("No file manager is installed that can show them."));
            return;
        }
        startWatched(*opener, {folder}, folder, openerWatch, failed);
    };
    QStringList uris;
    for (const QString& p : paths)
        uris << QUrl::fromLocalFile(p).toString();
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << uris << QString();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return openFolder();
    // Asynchronous, so a slow or missing file manager never stalls the caller.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 3000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [watcher, openFolder] {
        if (watcher->isError()) openFolder();
        watcher->deleteLater();
    });
}

bool startDetached(const QString& program, const QStringList& args, const QString& folder)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(args);
    process.setWorkingDirectory(folder);
    process.setStandardInputFile(QProcess::nullDevice());
    return process.startDetached();
}

void startWatched(const QString& program, const QStringList& args, const QString& folder,
                  std::chrono::milliseconds watch, std::function<void(const QString& why)> failed)
{
    const QString name = QFileInfo(program).fileName();
    // The log goes with the application object however it ends; the process has no parent, so
    // that a program still running when we quit is not ended with us.
    QPointer<QTemporaryFile> log = new QTemporaryFile(
        QDir::tempPath() + QStringLiteral("/tolvane-start-XXXXXX.log"), QCoreApplication::instance());
    if (!log->open()) {
        delete log;
        failed(QStringLiteral("%1 couldn’t be started: the temporary folder can’t be written").arg(name));
        return;
    }
    log->close();
    auto* process = new QProcess;
    process->setProgram(program);
    process->setArguments(args);
    process->setWorkingDirectory(folder);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(log->fileName());
    process->setChildProcessModifier([] { ::setsid(); });

    QObject::connect(process, &QProcess::finished, process,
                     [process, log, failed, name](int status, QProcess::ExitStatus how) {
                         process->deleteLater();
                         if (!log) return; // no longer watched
                         if (how == QProcess::CrashExit || status != 0) {
                             const QString said = lastLine(*log);
                             failed(!said.isEmpty() ? said
                                    : how == QProcess::CrashExit
                                        ? QStringLiteral("%1 crashed").arg(name)
                                        : QStringLiteral("%1 ended at once (exit %2)").arg(name).arg(status));
                         }
                         delete log;
                     });
    QObject::connect(
        process, &QProcess::errorOccurred, process, [process, log, failed, name](QProcess::ProcessError e) {
            if (e != QProcess::FailedToStart) return;
            delete log;
            failed(QStringLiteral("%1 couldn’t be started: %2").arg(name, process->errorString()));
            process->deleteLater();
        });
    // Removing the file ends the watch; the program keeps writing to what it opened.
    QTimer::singleShot(watch, process, [log] { delete log; });
    process->start();
}

} // namespace Desktop
