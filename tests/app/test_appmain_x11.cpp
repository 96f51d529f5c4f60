// Starting the tray application: one clear line without a display or a tray, a single instance
// per user and display that nobody else can stand in for, and the icon in a tray host. Ending it
// by a signal while it converts leaves nothing of the work or of its own behind.

#include "app/appdelegate.h"
#include "core/catalog.h"
#include "core/settings.h"
#include "toolkit/wheel/wheelgeometry.h"

#include <QApplication>
#include <QLocalServer>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <sys/stat.h>

#include "../support/processes.h"
#include "../support/x11test.h"

constexpr int patience = 10000;

class AppMainX11Test : public ScreenTest
{
    Q_OBJECT
  public:
    using ScreenTest::ScreenTest;

  private:
    // The started programs' environment: this test's screen and settings, with `changes`
    // applied (an empty value removes the variable).
    static QProcessEnvironment environment(const QList<std::pair<QString, QString>>& changes)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const auto& [name, value] : changes) {
            if (value.isEmpty())
                env.remove(name);
            else
                env.insert(name, value);
        }
        return env;
    }

    // Starts the tray application; true once it has launched (it says that there is no tray).
    static bool startApp(ChildProcess& app, const QProcessEnvironment& env, QByteArray& errors)
    {
        app.setProcessEnvironment(env);
        app.start(QStringLiteral(TOLVANE_BIN), {});
        return app.waitForStarted() &&
               QTest::qWaitFor([&] { return (errors += app.readAllStandardError()).contains("tray"); },
                               patience);
    }

    // The sizes ("540x680") of the windows process `pid` shows, as the X server knows them.
    static QStringList shownSizes(qint64 pid)
    {
        QProcess search;
        search.start(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--pid", QString::number(pid)});
        if (!search.waitForFinished(patience)) return {};
        QStringList sizes;
        for (const QByteArray& id : search.readAllStandardOutput().split('\n')) {
            if (id.isEmpty()) continue;
            QProcess geometry;
            geometry.start(QStringLiteral("xdotool"), {"getwindowgeometry", QString::fromLatin1(id)});
            if (!geometry.waitForFinished(patience)) continue;
            const QString said = QString::fromUtf8(geometry.readAllStandardOutput());
            const qsizetype at = said.indexOf(QLatin1String("Geometry: "));
            if (at >= 0) sizes << said.mid(at + 10).section(QLatin1Char('\n'), 0, 0).trimmed();
        }
        return sizes;
    }

  private slots:
    void initTestCase()
    {
        // The welcome window of a first start stays shut in the started programs.
        Settings::store()->clear();
        Settings::shared().reload();
        Settings::shared().setOnboarded(true);
        Settings::shared().setHighlightSound(false);
    }

    // Without DISPLAY or with nobody at it: one line on standard error, exit status 1.
    void saysThereIsNoDisplay()
    {
        for (const QString display : {"", ":9873"}) {
            QProcess app;
            app.setProcessEnvironment(
                environment({{"DISPLAY", display}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}}));
            app.start(QStringLiteral(TOLVANE_BIN), {});
            QVERIFY(app.waitForFinished(patience));
            QCOMPARE(app.exitStatus(), QProcess::NormalExit);
            QCOMPARE(app.exitCode(), 1);
            const QString said = QString::fromUtf8(app.readAllStandardError());
            QVERIFY2(said.count('\n') == 1 && said.startsWith("Tolvane: no display") &&
                         said.contains("X11") && said.contains("command line"),
                     qPrintable(said));
            QCOMPARE(app.readAllStandardOutput(), QByteArray());
        }
    }

    // Someone listening first on a name where the socket could be (the old name in the temporary
    // folder, or the socket in a folder of ours that others may enter) gets no hand-over, and the
    // application starts all the same; with a private folder a second start still hands over,
    // silently. Without a tray host the first says so in one line and runs on.
    void keepsTheInstanceToItsUser_data()
    {
        QTest::addColumn<bool>("runtimeFolder");
        QTest::addColumn<bool>("openTemporaryFolder"); // tolvane-<uid> exists and anyone may enter it
        QTest::newRow("runtime folder") << true << false;
        QTest::newRow("no runtime folder") << false << false;
        QTest::newRow("open temporary folder") << false << true;
    }

    void keepsTheInstanceToItsUser()
    {
        REQUIRE_SCREEN();
        QFETCH(bool, runtimeFolder);
        QFETCH(bool, openTemporaryFolder);
        QTemporaryDir runtime, temporary;
        const QString display = qEnvironmentVariable("DISPLAY");
        const QString own = temporary.filePath(QStringLiteral("tolvane-%1").arg(::geteuid()));
        QStringList taken{temporary.filePath(QStringLiteral("tolvane-%1-%2").arg(::geteuid()).arg(display))};
        if (openTemporaryFolder) {
            QVERIFY(QDir().mkdir(own) && ::chmod(QFile::encodeName(own).constData(), 0777) == 0);
            taken << own + QStringLiteral("/tolvane-%1.socket").arg(display);
        }
        std::vector<std::unique_ptr<QLocalServer>> others; // someone else's sockets
        for (const QString& name : taken) {
            others.push_back(std::make_unique<QLocalServer>());
            QVERIFY2(others.back()->listen(name), qPrintable(name));
        }
        const QProcessEnvironment env = environment(
            {{"XDG_RUNTIME_DIR", runtimeFolder ? runtime.path() : QString()}, {"TMPDIR", temporary.path()}});

        ChildProcess first;
        QByteArray errors;
        QVERIFY(startApp(first, env, errors));
        if (!openTemporaryFolder) {
            ChildProcess second;
            second.setProcessEnvironment(env);
            second.start(QStringLiteral(TOLVANE_BIN), {});
            QVERIFY(second.waitForFinished(patience));
            QCOMPARE(second.exitStatus(), QProcess::NormalExit);
            QCOMPARE(second.exitCode(), 0);
            // Without a runtime folder Qt has its own complaint to make; the folder made instead
            // is the user's alone.
            QFileInfo folder(own);
            if (runtimeFolder)
                QCOMPARE(second.readAllStandardError(), QByteArray());
            else
                QVERIFY(folder.isDir() && folder.permissions() == QFile::Permissions(0x7700)); // rwx------
            // The first brings its settings window forward for the second.
            QTRY_VERIFY_WITH_TIMEOUT(shownSizes(first.processId()).contains("540x680"), patience);
        }
        QCOMPARE(first.state(), QProcess::Running);
        // At rest the tray holds none of the heavy engines' libraries.
        QFile maps(QStringLiteral("/proc/%1/maps").arg(first.processId()));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        const QByteArray mapped = maps.readAll();
        QVERIFY(mapped.contains("libtolvane_gui.so"));
        for (const char* heavy :
             {"libtolvane_engines_heavy.so", "libexiv2", "libpoppler", "libheif", "libqpdf"})
            QVERIFY2(!mapped.contains(heavy), heavy);
        // The first has served any hand-over by now, so anything it repeats has been written.
        errors += first.readAllStandardError();
        QVERIFY2(!runtimeFolder || errors.count('\n') == 1, errors.constData());
        QCOMPARE(errors.contains("not private to this user"), openTemporaryFolder);
        for (qsizetype i = 0; i < taken.size(); ++i)
            QVERIFY2(!others[size_t(i)]->hasPendingConnections() &&
                         !others[size_t(i)]->waitForNewConnection(0),
                     qPrintable(taken[i]));
    }

    // Started at the same moment, one stays and every other hands over to it.
    void simultaneousStartsLeaveOne()
    {
        REQUIRE_SCREEN();
        QTemporaryDir runtime;
        const QProcessEnvironment env = environment({{"XDG_RUNTIME_DIR", runtime.path()}});
        std::vector<std::unique_ptr<ChildProcess>> starts(6);
        for (auto& start : starts) {
            start = std::make_unique<ChildProcess>();
            start->setProcessEnvironment(env);
            start->start(QStringLiteral(TOLVANE_BIN), {});
        }
        const auto finished = [&] {
            return std::count_if(starts.cbegin(), starts.cend(),
                                 [](const auto& s) { return s->state() == QProcess::NotRunning; });
        };
        QTRY_COMPARE_WITH_TIMEOUT(finished(), qsizetype(starts.size() - 1), patience);
        for (const auto& start : starts) {
            if (start->state() == QProcess::NotRunning)
                QVERIFY(start->exitStatus() == QProcess::NormalExit && start->exitCode() == 0);
        }
    }

    // A logout's SIGTERM, Ctrl-C or a hang-up while a dropped clip converts: ffmpeg ends, its
    // hidden file goes, the application's own temporary files (the highlight sound) go, and the
    // application ends by the signal.
    void signalEndsTheWorkCleanly_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }

    void signalEndsTheWorkCleanly()
    {
        REQUIRE_SCREEN();
        QFETCH(int, signal);
        for (const QString program : {"xdotool", "ffmpeg"})
            if (QStandardPaths::findExecutable(program).isEmpty())
                QSKIP(qPrintable(program + " is not installed"));
        QTemporaryDir folder, runtime, temporary;
        const QString clip = folder.filePath("clip.mkv");
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc2=s=640x480:r=25:d=30", "-c:v",
                                "libx264", "-preset", "ultrafast", clip});
        QVERIFY(ffmpeg.waitForFinished(patience * 3) && ffmpeg.exitCode() == 0);
        Settings::shared().setHighlightSound(true);
        const auto quiet = qScopeGuard([] { Settings::shared().setHighlightSound(false); });

        ChildProcess app;
        QByteArray errors;
        QVERIFY(startApp(
            app, environment({{"XDG_RUNTIME_DIR", runtime.path()}, {"TMPDIR", temporary.path()}}), errors));
        ChildProcess source;
        QByteArray said;
        QVERIFY(startDragSource(source, {clip}, said));
        const auto released = qScopeGuard(releaseAll);
        const QPoint centre(640, 400);
        QVERIFY(xdotool(QStringList{"mousemove", "100", "100", "mousedown", "1", "mousemove"} + at(centre)));
        QVERIFY(xdotool({"keydown", "shift"}));
        // The wheel opens where the pointer is when the application has seen the drag, which may
        // be long after the key on a busy machine: the pointer stays put until the wheel is up.
        QVERIFY(QTest::qWaitFor(
            [] {
                return xdotool({"search", "--onlyvisible", "--name", "^Tolvane$"});
            },
            patience));
        const QList<WheelItem> items = Catalog::items(WheelMode::conversions, {clip});
        const int index = int(items.indexOf(WheelItem::format("webm")));
        QVERIFY(index >= 0);
        const QPoint petal =
            (QPointF(centre) + WheelGeometry::polar(WheelGeometry::labelRadius,
                                                    WheelGeometry::centreAngle(index, int(items.size()))))
                .toPoint();
        // The petal lights, and the highlight sound is made, at a move over it.
        const QDir temporaryFolder(temporary.path());
        const auto ours = [&] {
            return temporaryFolder.entryList({"tolvane-*"}, QDir::AllEntries | QDir::Hidden);
        };
        int nudge = 0;
        QVERIFY(QTest::qWaitFor(
            [&] {
                return xdotool(QStringList{"mousemove"} + at(petal + QPoint(++nudge % 2, 0))) &&
                       !ours().isEmpty();
            },
            patience));
        QVERIFY(xdotool({"keyup", "shift", "mouseup", "1"}));
        const QDir clipFolder(folder.path());
        QTRY_VERIFY_WITH_TIMEOUT(
            !clipFolder.entryList({".tolvane-*"}, QDir::AllEntries | QDir::Hidden).isEmpty(), patience * 3);
        // Besides the drag source, ffmpeg works on the clip.
        const QStringList sourceOnly{QString::number(source.processId())};
        QVERIFY(processesNaming(QFile::encodeName(folder.path())).size() > 1);

        QVERIFY(::kill(pid_t(app.processId()), signal) == 0);
        QVERIFY(app.waitForFinished(patience * 2));
        QCOMPARE(app.exitStatus(), QProcess::CrashExit);
        QCOMPARE(app.exitCode(), signal);
        QCOMPARE(clipFolder.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"clip.mkv"});
        QCOMPARE(processesNaming(QFile::encodeName(folder.path())), sourceOnly);
        QCOMPARE(ours(), QStringList());
    }

    // Last, as the tray host would stay: the icon docks where the host sits, and a left click
    // opens the menu at the pointer, as a right click does.
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
        QTRY_VERIFY_WITH_TIMEOUT(!icon->geometry().isEmpty() && icon->geometry().top() < 48 &&
                                     icon->geometry().right() > 1280 - 200,
                                 patience);
        QMenu* menu = icon->contextMenu();
        QVERIFY(menu && !menu->isVisible());
        const QPoint centre = icon->geometry().center();
        QVERIFY(xdotool(QStringList{"mousemove"} + at(centre) + QStringList{"click", "1"}));
        QTRY_VERIFY_WITH_TIMEOUT(menu->isVisible(), patience);
        QVERIFY(menu->geometry().adjusted(-2, -2, 2, 2).contains(centre));
        menu->hide();
    }
};

X11_TEST_MAIN(AppMainX11Test, QApplication)

#include "test_appmain_x11.moc"
