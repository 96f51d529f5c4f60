#include "app/appmain.h"

#include "app/appdelegate.h"
#include "app/hud.h"
#include "core/jobs.h"
#include "platform/desktop.h"

#include <QApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <clocale>
#include <unistd.h>

namespace App {

namespace {

// One tray application per user and display.
QString instanceName()
{
    QString display = qEnvironmentVariable("DISPLAY");
    display.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("tolvane-%1-%2").arg(::getuid()).arg(display);
}

// Hands this start over to a running instance; true when one answered.
bool handOver(const QStringList& args)
{
    QLocalSocket socket;
    socket.connectToServer(instanceName());
    if (!socket.waitForConnected(500)) return false;
    socket.write(args.join(QLatin1Char('\n')).toUtf8() + '\n');
    socket.waitForBytesWritten(500);
    socket.disconnectFromServer();
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tolvane"));
    QApplication::setOrganizationName(QStringLiteral("Tolvane"));
    QApplication::setQuitOnLastWindowClosed(false);
    std::setlocale(LC_NUMERIC, "C");

    if (handOver(QApplication::arguments())) return 0;
    QLocalServer server;
    QLocalServer::removeServer(instanceName()); // a name left by a crashed instance
    server.listen(instanceName());

    AppDelegate delegate;
    QObject::connect(&server, &QLocalServer::newConnection, &delegate, [&server, &delegate] {
        while (QLocalSocket* socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            delegate.reopen();
        }
    });
    Jobs::setPresenter(
        [](const std::shared_ptr<Job>& job, std::optional<QPointF> at) { HUD::shared().show(job, at); });
    Jobs::setRevealer(Desktop::reveal);
    delegate.launch();
    return QApplication::exec();
}

} // namespace App
