#include "platform/desktop.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace Desktop {

void reveal(const QStringList& paths)
{
    if (paths.isEmpty()) return;
    const QString folder = QFileInfo(paths.first()).absolutePath();
    QStringList uris;
    for (const QString& p : paths)
        uris << QUrl::fromLocalFile(p).toString();
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << uris << QString();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
        return;
    }
    // Asynchronous, so a slow or missing file manager never stalls the caller.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 3000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [watcher, folder] {
        if (watcher->isError()) QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
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

} // namespace Desktop
