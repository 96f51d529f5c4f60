#include "app/fileactions.h"

#include "app/floatshelf.h"
#include "app/toast.h"
#include "core/converterror.h"
#include "core/filemove.h"
#include "core/settings.h"
#include "core/shell.h"
#include "platform/clipboard.h"
#include "platform/desktop.h"
#include "platform/nearbysend.h"
#include "platform/terminal.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QThreadPool>
#include <chrono>

namespace {

// How long KDE Connect may take to list its devices or take a file.
constexpr auto sendTimeLimit = std::chrono::seconds(20);
// A terminal that ends with a failure within this long after its start failed to open.
constexpr auto terminalWatch = std::chrono::seconds(3);

QThreadPool& sendingPool()
{
    static QPointer<QThreadPool> pool;
    if (!pool) {
        pool = new QThreadPool(qApp);
        pool->setMaxThreadCount(1);
    }
    return *pool;
}

std::optional<QString> chooseFolder(const QString& message, const QString& start)
{
    QFileDialog dialog(nullptr, message, start);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Move Here"));
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first();
}

std::optional<QByteArray> runToEnd(const QString& program, const QStringList& args)
{
    try {
        const Shell::Result r = Shell::run(program, args, std::nullopt, nullptr, {}, sendTimeLimit);
        if (r.status != 0 || r.timedOut) return std::nullopt;
        return r.stdoutBytes;
    } catch (const ConvertError&) {
        return std::nullopt;
    }
}

void sendInBackground(const QStringList& files, std::function<void(bool)> done)
{
    const NearbySend::Programs programs{Shell::find, runToEnd,
                                        [](const QString& program, const QStringList& args) {
                                            return Desktop::startDetached(program, args, QDir::homePath());
                                        }};
    QPointer<QCoreApplication> app(qApp);
    sendingPool().start([files, done = std::move(done), programs, app] {
        const bool sent = NearbySend::send(files, programs);
        if (app)
            QMetaObject::invokeMethod(
                app, [done, sent] { done(sent); }, Qt::QueuedConnection);
    });
}

QString countText(qsizetype n, const char* one, const char* many)
{
    return n == 1 ? QString::fromUtf8(one) : QString::fromUtf8(many).arg(n);
}

void sendNearby(const QStringList& files, const FileActions::Services& s)
{
    const auto warn = s.warn;
    s.send(files, [warn](bool sent) {
        if (!sent)
            warn(QStringLiteral("Couldn’t send"),
                 QStringLiteral("Set up KDE Connect or Bluetooth, then try again."));
    });
}

void copyFiles(const QStringList& files, const FileActions::Services& s)
{
    if (const std::optional<QString> why = s.copyFiles(files)) {
        s.warn(QStringLiteral("Couldn’t copy"), *why);
        return;
    }
    const QString title = files.size() == 1 ? QStringLiteral("Copied ") + QFileInfo(files.first()).fileName()
                                            : QStringLiteral("Copied %1 items").arg(files.size());
    s.toast(title, QStringLiteral("Paste in your file manager to make a copy."));
}

void copyPaths(const QStringList& files, const FileActions::Services& s)
{
    if (const std::optional<QString> why = s.copyText(files.join(QLatin1Char('\n')))) {
        s.warn(files.size() == 1 ? QStringLiteral("Couldn’t copy the path")
                                 : QStringLiteral("Couldn’t copy the paths"),
               *why);
        return;
    }
    if (files.size() == 1)
        s.toast(QStringLiteral("Copied path"), FileActions::abbreviated(files.first()));
    else
        s.toast(QStringLiteral("Copied %1 paths").arg(files.size()), QString());
}

void move(const QStringList& files, const FileActions::Services& s)
{
    const QString message = files.size() == 1
                                ? QStringLiteral("Move “%1” to…").arg(QFileInfo(files.first()).fileName())
                                : QStringLiteral("Move %1 items to…").arg(files.size());
    const std::optional<QString> folder = s.chooseFolder(message, QFileInfo(files.first()).absolutePath());
    if (!folder) return;
    qsizetype moved = 0;
    std::optional<QString> lastError;
    for (const QString& file : files) {
        try {
            // An item already in the folder comes back under its own path, unmoved.
            if (s.move(file, *folder) != QDir::cleanPath(file)) ++moved;
        } catch (const std::exception& e) {
            lastError = errorDescription(e);
        }
    }
    if (lastError)
        s.warn(QStringLiteral("Couldn’t move everything"), *lastError);
    else if (moved == 0)
        s.toast(QStringLiteral("Already in ") + QFileInfo(QDir::cleanPath(*folder)).fileName(),
                FileActions::abbreviated(*folder));
    else
        s.toast(countText(moved, "Moved 1 item", "Moved %1 items"), FileActions::abbreviated(*folder));
}

std::optional<QString> firstFound(const QStringList& names, const FileActions::Services& s)
{
    for (const QString& name : names)
        if (const auto path = s.find(name)) return path;
    return std::nullopt;
}

void openTerminal(const QStringList& files, const FileActions::Services& s)
{
    const QFileInfo first(files.first());
    const QString folder = first.isDir() ? first.absoluteFilePath() : first.absolutePath();
    std::optional<QString> program;
    if (Settings::shared().terminalApp() == TerminalApp::iterm)
        program = firstFound(Terminal::alternativePrograms(), s);
    if (!program) program = firstFound(Terminal::defaultPrograms(), s);
    if (!program) {
        s.warn(QStringLiteral("Couldn’t open a terminal"),
               QStringLiteral("No terminal program is installed. Install one with: sudo apt install xterm"));
        return;
    }
    const auto warn = s.warn;
    s.launch(*program, Terminal::arguments(*program, folder), folder,
             [warn](const QString& why) { warn(QStringLiteral("Couldn’t open a terminal"), why); });
}

} // namespace

namespace FileActions {

Services defaultServices()
{
    return {chooseFolder,
            FileMove::moveInto,
            Shell::find,
            [](const QString& program, const QStringList& args, const QString& folder,
               std::function<void(const QString&)> failed) {
                Desktop::startWatched(program, args, folder, terminalWatch, std::move(failed));
            },
            sendInBackground,
            [](const QStringList& files) { FloatShelf::shared().show(files); },
            [](const QString& title, const QString& detail) { Toast::show(title, detail); },
            [](const QString& title, const QString& detail) { Toast::warn(title, detail); },
            [](const QStringList& files) { return Clipboard::putFiles(files); },
            [](const QString& text) { return Clipboard::putText(text); }};
}

void perform(ActionID action, const QStringList& files)
{
    perform(action, files, defaultServices());
}

void perform(ActionID action, const QStringList& files, const Services& services)
{
    if (files.isEmpty()) return;
    switch (action) {
    case ActionID::airDrop:
        sendNearby(files, services);
        break;
    case ActionID::float_:
        services.shelve(files);
        break;
    case ActionID::copy:
        copyFiles(files, services);
        break;
    case ActionID::move:
        move(files, services);
        break;
    case ActionID::copyPath:
        copyPaths(files, services);
        break;
    case ActionID::openTerminal:
        openTerminal(files, services);
        break;
    }
}

QString abbreviated(const QString& path)
{
    const QString home = QDir::homePath();
    if (path == home) return QStringLiteral("~");
    if (path.startsWith(home + QLatin1Char('/'))) return QLatin1Char('~') + path.mid(home.size());
    return path;
}

} // namespace FileActions
