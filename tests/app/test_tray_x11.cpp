// The tray application on a real X server: its icon finds a place in a tray host and opens the
// menu on a left click, it runs on without a host, and a second start hands over to the first.

#include "app/appdelegate.h"
#include "core/settings.h"

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTemporaryDir>

#include "../support/x11test.h"

constexpr int patience = 10000;

class TrayX11Test : public ScreenTest
{
    Q_OBJECT
  public:
    using ScreenTest::ScreenTest;

  private slots:
    void initTestCase()
    {
        if (!m_noScreen.isEmpty()) return;
        QVERIFY(m_runtime.isValid());
        // The started programs inherit the screen and a runtime folder (owner-only, as Qt wants
        // it), which keeps Qt's complaint about a missing one off their error output.
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        // The welcome window of a first start stays shut, here and in the started programs.
        Settings::store()->clear();
        Settings::shared().reload();
        Settings::shared().setOnboarded(true);
        Settings::shared().setHighlightSound(false);
    }

    // No tray host: one line says so, the program keeps running, and a second start hands its
    // arguments to the first and leaves at once.
    void runsWithoutTrayAndHandsOver()
    {
        REQUIRE_SCREEN();
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
        ChildProcess first;
        first.start(QStringLiteral(TOLVANE_BIN), {});
        QVERIFY(first.waitForStarted());
        QByteArray errors;
        QTRY_VERIFY_WITH_TIMEOUT((errors += first.readAllStandardError()).contains('\n'), patience);

        ChildProcess second;
        second.start(QStringLiteral(TOLVANE_BIN), {});
        QVERIFY(second.waitForFinished(patience));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(second.readAllStandardError(), QByteArray());

        // The first has served the hand-over by now, so anything it repeats has been written.
        QCOMPARE(first.state(), QProcess::Running);
        errors += first.readAllStandardError();
        QCOMPARE(errors.count('\n'), 1);
        QVERIFY2(errors.contains("tray"), errors.constData());
    }

    void iconFindsItsPlaceAndOpensTheMenu()
    {
        REQUIRE_SCREEN();
        if (QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty())
            QSKIP("trayer is not installed (Debian package trayer)");
        ChildProcess trayer;
        trayer.start(QStringLiteral("trayer"),
                     {"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24"});
        QVERIFY(trayer.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), patience);

        AppDelegate app;
        app.launch();
        QSystemTrayIcon* icon = app.trayIcon();
        QVERIFY(icon && icon->isVisible());
        // Docked at the top right of the screen, where the host sits.
        QTRY_VERIFY_WITH_TIMEOUT(!icon->geometry().isEmpty() && icon->geometry().top() < 48 &&
                                     icon->geometry().right() > 1280 - 200,
                                 patience);

        // A left click opens the menu at the pointer, as a right click does.
        QMenu* menu = icon->contextMenu();
        QVERIFY(menu && !menu->isVisible());
        const QPoint centre = icon->geometry().center();
        QVERIFY(xdotool(QStringList{"mousemove"} + at(centre) + QStringList{"click", "1"}));
        QTRY_VERIFY_WITH_TIMEOUT(menu->isVisible(), patience);
        QVERIFY(menu->geometry().adjusted(-2, -2, 2, 2).contains(centre));
        QCOMPARE(menu->actions().first()->text(), QStringLiteral("Drag a file, then tap a key"));
        menu->hide();
    }

  private:
    QTemporaryDir m_runtime;
};

X11_TEST_MAIN(TrayX11Test, QApplication)

#include "test_tray_x11.moc"
