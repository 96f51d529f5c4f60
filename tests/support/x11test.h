#pragma once

// What the X11 tests share: an Xvfb of their own, xdotool for the pointer and the keyboard, and
// the drag source as a child process.

#include <QCoreApplication>
#include <QPoint>
#include <QtTest>
#include <utility>

#include "xvfb.h"

// Skips a case that needs the screen when the test has none; m_noScreen says why.
#define REQUIRE_SCREEN()                                                                                     \
    if (!m_noScreen.isEmpty()) QSKIP(qPrintable(m_noScreen))

class ScreenTest : public QObject
{
  public:
    explicit ScreenTest(const QString& noScreen) : m_noScreen(noScreen) {}

  protected:
    const QString m_noScreen;
};

// A child that dies with the test even when it crashes, and is ended when it goes out of scope.
class ChildProcess : public QProcess
{
  public:
    ChildProcess() { dieWithTest(*this); }
    ~ChildProcess() override
    {
        kill();
        waitForFinished();
    }
};

inline bool xdotool(const QStringList& args)
{
    return QProcess::execute(QStringLiteral("xdotool"), args) == 0;
}

// Lets go of every key and the button that a case, failed or not, may have left down.
inline void releaseAll()
{
    xdotool({"mouseup", "1", "keyup", "shift", "Control_L", "Alt_L", "Super_L", "Escape"});
}

inline QStringList at(QPoint p)
{
    return {QString::number(p.x()), QString::number(p.y())};
}

// xdotool steps that take the pointer from `from` through `path`, pausing `pause` seconds at each
// point. Relative moves go through XTest like a real device's, raw events included; absolute
// ones are warps, which have none.
inline QStringList relativeMoves(QPoint from, const QList<QPoint>& path, const QString& pause)
{
    QStringList steps;
    for (const QPoint to : path) {
        steps += QStringList{"mousemove_relative", "--"} + at(to - from) + QStringList{"sleep", pause};
        from = to;
    }
    return steps;
}

// Starts a drag source with `args`: `program` is dragsource (a Qt drag, tests/support/dragsource.cpp)
// or xdndsource (a GTK-like one, tests/support/xdndsource.cpp). True once it is on screen; `said`
// collects what it prints.
inline bool startDragSource(ChildProcess& source, const QStringList& args, QByteArray& said,
                            const QString& program = QStringLiteral("dragsource"))
{
    source.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    source.start(QCoreApplication::applicationDirPath() + QLatin1Char('/') + program, args);
    return source.waitForStarted() &&
           QTest::qWaitFor([&] { return (said += source.readAllStandardOutput()).contains("ready"); }, 5000);
}

// Runs `Test` on an Xvfb of its own. Without one, or without one of `tools` ({program, Debian
// package}), every case that requires the screen skips.
template <class Test, class Application>
int runOnScreen(int argc, char** argv, const QList<std::pair<QString, QString>>& tools = {})
{
    VirtualScreen screen;
    screen.useForThisProcess();
    QString noScreen = screen.failure();
    for (const auto& [program, package] : tools) {
        if (noScreen.isEmpty() && QStandardPaths::findExecutable(program).isEmpty())
            noScreen = QStringLiteral("%1 is not installed (Debian package %2)").arg(program, package);
    }
    Application app(argc, argv);
    Test test(noScreen);
    return QTest::qExec(&test, argc, argv);
}

// The main() of an X11 test; the arguments after the application class are the tools it needs.
#define X11_TEST_MAIN(Test, Application, ...)                                                                \
    int main(int argc, char** argv)                                                                          \
    {                                                                                                        \
        return runOnScreen<Test, Application>(argc, argv, {__VA_ARGS__});                                    \
    }
