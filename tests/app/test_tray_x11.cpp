// The tray application on a real X server: its icon finds a place in a tray host, it runs on
// without one, and a second start hands over to the first.

#include "app/appdelegate.h"
#include "core/settings.h"

#include <QApplication>
#include <QFile>
#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QtTest>

#include "../support/xvfb.h"

namespace {

constexpr int patience = 10000;

} // namespace

#define REQUIRE_SCREEN() \
    if (!m_noScreen.isEmpty()) QSKIP(qPrintable(m_noScreen))

class TrayX11Test : public QObject
{
    Q_OBJECT
public:
    explicit TrayX11Test(const QString& noScreen)
        : m_noScreen(noScreen)
    {
    }

private:
    // The program as a user starts it, without arguments, on the test's screen; a runtime
    // folder of its own keeps Qt's complaint about a missing one off its error output.
    void startTolvane(QProcess& process)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        process.setProcessEnvironment(env);
        dieWithTest(process);
        process.start(QStringLiteral(TOLVANE_BIN), {});
    }

private slots:
    void initTestCase()
    {
        if (!m_noScreen.isEmpty()) return;
        QVERIFY(m_runtime.isValid());
        QVERIFY(QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        // The welcome window of a first start stays shut, here and in the started programs.
        Settings::store()->clear();
        Settings::shared().reload();
        Settings::shared().setOnboarded(true);
        Settings::shared().setHighlightSound(false);
    }

    void cleanupTestCase()
    {
        for (QProcess* process : {&m_first, &m_trayer}) {
            process->kill();
            process->waitForFinished();
        }
        // The killed instance could not take its socket away; a later start would, but the
        // temporary folder should not keep it meanwhile.
        if (!m_noScreen.isEmpty()) return;
        QFile::remove(QDir::tempPath() + QStringLiteral("/tolvane-%1-%2").arg(::getuid()).arg(qEnvironmentVariable("DISPLAY")));
    }

    // No tray host: one line says so, the program keeps running, and a second start hands its
    // arguments to the first and leaves at once.
    void runsWithoutTrayAndHandsOver()
    {
        REQUIRE_SCREEN();
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
        startTolvane(m_first);
        QVERIFY(m_first.waitForStarted());
        QByteArray errors;
        QTRY_VERIFY_WITH_TIMEOUT((errors += m_first.readAllStandardError()).contains('\n'), patience);

        QProcess second;
        startTolvane(second);
        QVERIFY(second.waitForFinished(patience));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(second.readAllStandardError(), QByteArray());

        // The first has served the hand-over by now, so anything it repeats has been written.
        QCOMPARE(m_first.state(), QProcess::Running);
        errors += m_first.readAllStandardError();
        QCOMPARE(errors.count('\n'), 1);
        QVERIFY2(errors.contains("tray"), errors.constData());
    }

    void iconFindsItsPlaceInATrayHost()
    {
        REQUIRE_SCREEN();
        if (QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty())
            QSKIP("trayer is not installed (Debian package trayer)");
        dieWithTest(m_trayer);
        m_trayer.start(QStringLiteral("trayer"),
                       {"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24"});
        QVERIFY(m_trayer.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), patience);

        AppDelegate app;
        app.launch();
        QSystemTrayIcon* icon = app.trayIcon();
        QVERIFY(icon);
        QVERIFY(icon->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!icon->geometry().isEmpty(), patience);
        // Docked at the top right of the screen, where the host sits.
        const auto docked = [icon] {
            const QRect placed = icon->geometry();
            return placed.top() < 48 && placed.right() > 1280 - 200;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(docked(), qPrintable(QStringLiteral("%1,%2 %3×%4")
                                                           .arg(icon->geometry().x())
                                                           .arg(icon->geometry().y())
                                                           .arg(icon->geometry().width())
                                                           .arg(icon->geometry().height())),
                                  patience);
    }

private:
    QString m_noScreen;
    QTemporaryDir m_runtime;
    QProcess m_first;
    QProcess m_trayer;
};

int main(int argc, char** argv)
{
    VirtualScreen screen;
    screen.useForThisProcess();
    QApplication app(argc, argv);
    TrayX11Test test(screen.failure());
    return QTest::qExec(&test, argc, argv);
}

#include "test_tray_x11.moc"
