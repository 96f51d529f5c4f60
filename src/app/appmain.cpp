#include "app/appmain.h"

#include "app/appdelegate.h"
#include "app/hud.h"
#include "app/revealresults.h"
#include "core/freedmemory.h"
#include "core/interrupts.h"
#include "core/jobs.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSystemTrayIcon>
#include <QThread>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace App {

namespace {

// How long a later start waits for the first one to answer; the first holds the lock from just
// before it listens.
constexpr int handOverLimitMs = 5000;
constexpr int handOverRetryMs = 20;
// How long the work of running jobs gets to end its children and remove its hidden files when the
// application ends: a child gets a few seconds between SIGTERM and SIGKILL.
constexpr auto stopLimit = std::chrono::seconds(10);

void say(const QString& line)
{
    std::fputs(qPrintable(QStringLiteral("Tolvane: ") + line + QLatin1Char('\n')), stderr);
}

QString noDisplay(const QString& why)
{
    return QStringLiteral("no display (%1). The tray application needs an X11 session; the command "
                          "line works without one (tolvane --convert FORMAT FILE…).")
        .arg(why);
}

// Qt's messages while it reaches the display are held back, so that a display it cannot reach
// gives one line of ours rather than Qt's lines and an abort.
QStringList heldBack;

void holdBack(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg) {
        say(noDisplay(QStringLiteral("can’t open “%1”").arg(qEnvironmentVariable("DISPLAY"))));
        std::fflush(stderr);
        std::_Exit(1);
    }
    heldBack << message;
}

// A folder only this user can enter: a real folder, not a link, owned by us and closed to others.
bool isPrivate(const QString& folder)
{
    struct stat st;
    return ::lstat(QFile::encodeName(folder).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

std::optional<uid_t> peerUser(qintptr socket)
{
    ucred peer = {};
    socklen_t size = sizeof peer;
    if (::getsockopt(int(socket), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) return std::nullopt;
    return peer.uid;
}

// Holds the lock beside `socket` for the life of the process; false when another process
// holds it. The descriptor is closed on exec, so no child keeps the lock after us.
bool takeLock(const QString& socket)
{
    const QByteArray lock = QFile::encodeName(socket + QStringLiteral(".lock"));
    const int fd = ::open(lock.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    ::close(fd);
    return false;
}

// Hands this start's arguments to the running instance; false when nobody of this user answered.
bool handOver(const QString& path, const QStringList& args, const QDeadlineTimer& deadline)
{
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(int(std::max<qint64>(1, deadline.remainingTime())))) return false;
    if (peerUser(socket.socketDescriptor()) != ::geteuid()) return false;
    socket.write(args.join(QLatin1Char('\n')).toUtf8() + '\n');
    socket.waitForBytesWritten(handOverLimitMs);
    socket.disconnectFromServer();
    return true;
}

enum class Start { first, handedOver, unanswered };

// Either this is the first instance (it holds the lock) or the one holding the lock takes the
// arguments. The holder may not be listening yet, or may be on its way out and let go of the
// lock, so both are tried again for a while.
Start claimOrHandOver(const QString& socket, const QStringList& args)
{
    const QDeadlineTimer deadline(handOverLimitMs);
    for (;;) {
        if (takeLock(socket)) return Start::first;
        if (handOver(socket, args, deadline)) return Start::handedOver;
        if (deadline.hasExpired()) return Start::unanswered;
        QThread::msleep(handOverRetryMs);
    }
}

// Serves later starts of this user: each one brings this instance forward.
void serve(QLocalServer& server, AppDelegate& delegate)
{
    QObject::connect(&server, &QLocalServer::newConnection, &delegate, [&server, &delegate] {
        while (QLocalSocket* socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            if (peerUser(socket->socketDescriptor()) != ::geteuid()) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            delegate.reopen();
        }
    });
}

// Quit from the menu, a logout's SIGTERM, Ctrl-C and SIGHUP all end here once the event loop has
// stopped: the icon goes at once, running jobs are cancelled, their children ended and their
// hidden files removed; the application's own temporary files go with the application object.
void endWork(AppDelegate& delegate)
{
    if (QSystemTrayIcon* tray = delegate.trayIcon()) tray->hide();
    if (Jobs::stopAll(stopLimit)) return;
    say(QStringLiteral("some work did not stop in time and was abandoned."));
    std::fflush(stderr);
    std::_Exit(1);
}

int run(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")) {
        say(noDisplay(QStringLiteral("DISPLAY is not set")));
        return 1;
    }
    const QtMessageHandler previous = qInstallMessageHandler(holdBack);
    QApplication app(argc, argv);
    qInstallMessageHandler(previous);
    for (const QString& message : std::exchange(heldBack, {}))
        qWarning().noquote() << message;

    QApplication::setApplicationName(QStringLiteral("Tolvane"));
    QApplication::setOrganizationName(QStringLiteral("Tolvane"));
    QApplication::setQuitOnLastWindowClosed(false);
    std::setlocale(LC_NUMERIC, "C");
    FreedMemory::holdLittle();

    QLocalServer server;
    const std::optional<QString> socket = instanceSocket();
    if (!socket) {
        say(QStringLiteral("the folder for the instance socket in %1 is not private to this user; later "
                           "starts will not be handed over.")
                .arg(QDir::tempPath()));
    } else {
        switch (claimOrHandOver(*socket, QApplication::arguments())) {
        case Start::first:
            QLocalServer::removeServer(*socket); // left by an instance that crashed
            server.listen(*socket);
            break;
        case Start::handedOver:
            return 0;
        case Start::unanswered:
            say(QStringLiteral("another instance is running but does not answer."));
            return 1;
        }
    }

    AppDelegate delegate;
    serve(server, delegate);
    Jobs::setPresenter(
        [](const std::shared_ptr<Job>& job, std::optional<QPointF> at) { HUD::shared().show(job, at); });
    Jobs::setRevealer(RevealResults::revealer());
    delegate.launch();
    Interrupts interrupts;
    QObject::connect(&interrupts, &Interrupts::interrupted, &app, &QCoreApplication::quit);
    const int status = QApplication::exec();
    endWork(delegate);
    return status;
}

} // namespace

std::optional<QString> instanceSocket()
{
    QString display = qEnvironmentVariable("DISPLAY");
    display.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QString name = QStringLiteral("/tolvane-%1.socket").arg(display);

    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivate(runtime)) return runtime + name;
    const QString own = QDir::tempPath() + QStringLiteral("/tolvane-%1").arg(::geteuid());
    if (::mkdir(QFile::encodeName(own).constData(), 0700) != 0 && errno != EEXIST) return std::nullopt;
    if (!isPrivate(own)) return std::nullopt;
    return own + name;
}

int main(int argc, char** argv)
{
    const int status = run(argc, argv);
    // Ended by a signal once everything is cleaned up, as the signal's sender expects.
    if (const int signal = Interrupts::received()) Interrupts::endBy(signal);
    return status;
}

} // namespace App
