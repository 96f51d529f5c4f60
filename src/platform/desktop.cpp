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

// xdg-open ends at once with a failure when nothing on the desktop can open a folder; a file
// manager that hands the folder to its running window ends at once too, without one.
constexpr auto openerWatch = std::chrono::seconds(3);

// Opens `folder` with the first of `openers`, with the next when it fails; `failed` hears why the
// last one failed.
void openFolder(QStringList openers, const QString& folder, const std::function<void(const QString&)>& failed)
{
    const QString opener = openers.takeFirst();
    Desktop::startWatched(opener, {folder}, folder, openerWatch,
                          [openers, folder, failed](const QString& why) {
                              if (openers.isEmpty())
                                  failed(why);
                              else
                                  openFolder(openers, folder, failed);
                          });
}

} // namespace

namespace Desktop {

QStringList fileManagers(const QString& desktop)
{
    QStringList programs{QStringLiteral("pcmanfm"), QStringLiteral("pcmanfm-qt"), QStringLiteral("nautilus"),
                         QStringLiteral("dolphin"), QStringLiteral("thunar"),     QStringLiteral("nemo"),
                         QStringLiteral("caja")};
    // Each desktop's own, under the names XDG_CURRENT_DESKTOP gives them.
    static const std::pair<const char*, const char*> own[] = {
        {"LXDE", "pcmanfm"}, {"LXQt", "pcmanfm-qt"}, {"GNOME", "nautilus"},  {"Unity", "nautilus"},
        {"KDE", "dolphin"},  {"XFCE", "thunar"},     {"X-Cinnamon", "nemo"}, {"MATE", "caja"}};
    for (const QString& name : desktop.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        for (const auto& [session, program] : own)
            if (name.compare(QLatin1String(session), Qt::CaseInsensitive) == 0) {
                programs.move(programs.indexOf(QLatin1String(program)), 0);
                return programs;
            }
    return programs;
}

void reveal(const QStringList& paths, const std::function<std::optional<QString>(const QString&)>& find,
            std::function<void(const QString& why)> failed)
{
    if (paths.isEmpty()) return;
    const QString folder = QFileInfo(paths.first()).absolutePath();
    // Found now: the fallback may run after the caller's finder is gone.
    QStringList openers;
    if (const std::optional<QString> xdgOpen = find(QStringLiteral("xdg-open"))) openers << *xdgOpen;
    for (const QString& name : fileManagers(qEnvironmentVariable("XDG_CURRENT_DESKTOP")))
        if (const std::optional<QString> program = find(name)) {
            openers << *program;
            break;
        }
    const auto openFolder = [folder, openers, failed] {
        if (!openers.isEmpty())
            ::openFolder(openers, folder, failed);
        else
            failed(QStringLiteral("xdg-open is not installed, nor a file manager to open the folder with. "
                                  "Install it with: sudo apt install xdg-utils"));
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
