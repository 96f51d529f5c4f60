#pragma once

// An X server of a test's own, and children that die with the test even when it crashes.

#include <QByteArray>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

// An Xvfb that picks a free display number itself and dies with the process that started it.
class VirtualScreen
{
  public:
    VirtualScreen()
    {
        const QByteArray program = QStandardPaths::findExecutable(QStringLiteral("Xvfb")).toLocal8Bit();
        if (program.isEmpty()) {
            m_failure = QStringLiteral("Xvfb is not installed (Debian package xvfb)");
            return;
        }
        int fds[2];
        if (pipe(fds) != 0) {
            m_failure = QStringLiteral("no pipe for Xvfb");
            return;
        }
        const QByteArray fd = QByteArray::number(fds[1]);
        m_pid = fork();
        if (m_pid == 0) {
            close(fds[0]);
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            execl(program.constData(), "Xvfb", "-displayfd", fd.constData(), "-screen", "0", "1280x800x24",
                  "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        QByteArray number;
        pollfd ready{fds[0], POLLIN, 0};
        char c = 0;
        while (poll(&ready, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (number.isEmpty())
            m_failure = QStringLiteral("Xvfb did not start");
        else
            m_display = ':' + number;
    }

    ~VirtualScreen()
    {
        if (m_pid <= 0) return;
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }

    VirtualScreen(const VirtualScreen&) = delete;
    VirtualScreen& operator=(const VirtualScreen&) = delete;

    QByteArray display() const { return m_display; }
    // Why there is no screen; empty when there is one.
    QString failure() const { return m_failure; }

    // Points this process at the screen: DISPLAY and the xcb platform, to be called before the
    // application object exists. Without a screen the platform stays offscreen so the test can
    // still start and skip.
    void useForThisProcess() const
    {
        if (m_failure.isEmpty()) {
            qputenv("DISPLAY", m_display);
            qputenv("QT_QPA_PLATFORM", "xcb");
        } else {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
    }

  private:
    pid_t m_pid = -1;
    QByteArray m_display;
    QString m_failure;
};

// Makes the process `child` starts next receive SIGKILL when the test goes away, so a failed or
// crashed test leaves no tray host, drag source or application behind. QProcess still ends
// it in the ordinary way when the QProcess object is destroyed.
inline void dieWithTest(QProcess& child)
{
    child.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
}
