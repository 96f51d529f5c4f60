// The welcome window's sample on a real X server, dragged out of the application's own window
// again and again as a new user tries it: each drag opens the wheel, each drop converts, and the
// results land in the user's pictures folder, which the progress panel names.

#include "app/appdelegate.h"
#include "app/hud.h"
#include "app/hudview.h"
#include "app/wheelcontroller.h"
#include "core/jobs.h"
#include "core/settings.h"
#include "toolkit/wheel/wheelgeometry.h"
#include "toolkit/wheel/wheelmodel.h"
#include "windows/welcome/draggablefile.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QThread>

#include "../support/x11test.h"

namespace {

constexpr int patience = 5000;

// The drag runs a loop of its own inside the application, so the steps of a drag are taken on
// a thread of the test's, which reads the application's state on the main thread.
template <typename F> auto onMain(F f)
{
    decltype(f()) value{};
    QMetaObject::invokeMethod(
        qApp, [&] { value = f(); }, Qt::BlockingQueuedConnection);
    return value;
}

template <typename F> bool waitOnMain(F f)
{
    QElapsedTimer waited;
    waited.start();
    while (!onMain(f)) {
        if (waited.elapsed() > patience) return false;
        QThread::msleep(10);
    }
    return true;
}

} // namespace

class WelcomeX11Test : public ScreenTest
{
    Q_OBJECT
  public:
    using ScreenTest::ScreenTest;

  private slots:
    // Shift is tapped at once, so the wheel comes up over the sample, and the next drag starts
    // as soon as the drop is taken, while the wheel still fades.
    void sampleDragsInARow()
    {
        REQUIRE_SCREEN();
        QTemporaryDir home;
        const QString pictures = home.filePath("Pictures");
        QVERIFY(QDir().mkpath(pictures));
        for (const auto& [name, path] : {std::pair{"HOME", home.path()},
                                         {"XDG_CONFIG_HOME", home.filePath(".config")},
                                         {"XDG_DATA_HOME", home.filePath(".local/share")}})
            qputenv(name, path.toUtf8());
        Settings::store()->clear();
        Settings::shared().reload();
        Settings::shared().setOnboarded(true);
        Settings::shared().setHighlightSound(false);
        QList<std::shared_ptr<Job>> jobs;
        Jobs::setPresenter([&](const std::shared_ptr<Job>& job, std::optional<QPointF> at) {
            jobs << job;
            HUD::shared().show(job, at);
        });

        AppDelegate app;
        app.launch();
        app.showWelcome();
        QWidget* window = app.welcomeWindow();
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        const auto* tile = window->findChild<DraggableFile*>();
        QVERIFY(tile);
        const QString sample = tile->path();
        QCOMPARE(QFileInfo(sample).absolutePath(), Settings::dataFolder());
        const QPoint on = tile->mapToGlobal(tile->rect().center());
        WheelController& wheel = app.wheel();

        constexpr int rounds = 3;
        QString failure;
        QStringList formats;
        std::unique_ptr<QThread> user(QThread::create([&] {
            // A drag left hanging would keep the application in its loop for good.
            const auto letGo = qScopeGuard(releaseAll);
            for (int round = 1; round <= rounds && failure.isEmpty(); ++round) {
                const auto fail = [&](const char* what) {
                    failure = QStringLiteral("drag %1: %2").arg(round).arg(what);
                };
                const QPoint moved = on + QPoint(30, 20);
                xdotool(QStringList{"mousemove"} + at(on) + QStringList{"mousedown", "1"} +
                        relativeMoves(on, {on + QPoint(10, 10), moved}, QStringLiteral("0.02")) +
                        QStringList{"keydown", "shift"});
                if (!waitOnMain([&] { return wheel.isVisible(); })) return fail("no wheel");
                xdotool({"keyup", "shift"});
                const auto [petal, format] = onMain([&] {
                    const int count = int(wheel.model().items().size());
                    const QPointF over =
                        wheel.anchor() + WheelGeometry::polar(WheelGeometry::labelRadius,
                                                              WheelGeometry::centreAngle(0, count));
                    return std::pair(over.toPoint(),
                                     wheel.model().items().first().formatKey().value_or(QString()));
                });
                formats << format;
                xdotool(relativeMoves(moved, {petal + QPoint(1, 1), petal}, QStringLiteral("0.02")));
                if (!waitOnMain([&] { return wheel.model().highlighted() == std::optional<int>(0); }))
                    return fail("no petal lit");
                xdotool({"mouseup", "1"});
                if (!waitOnMain([&] { return jobs.size() == round && !wheel.isVisible(); }))
                    return fail("no drop");
            }
        }));
        bool finished = false;
        connect(user.get(), &QThread::finished, this, [&] { finished = true; });
        user->start();
        QTRY_VERIFY_WITH_TIMEOUT(finished, rounds * 4 * patience);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));

        for (int i = 0; i < rounds; ++i) {
            QTRY_VERIFY_WITH_TIMEOUT(!jobs[i]->isRunning(), patience);
            QCOMPARE(jobs[i]->state().phase, Job::Phase::done);
            const QString name = i == 0 ? QStringLiteral("Tolvane Sample.%1").arg(formats[i])
                                        : QStringLiteral("Tolvane Sample %1.%2").arg(i + 1).arg(formats[i]);
            QCOMPARE(jobs[i]->results(), QStringList{pictures + '/' + name});
            const QWidget* panel = HUD::shared().panel(jobs[i]->id());
            QVERIFY(panel);
            QCOMPARE(HUDView::state(*panel->findChild<HUDView*>()->job()).subline,
                     QStringLiteral("Saved %1 in ~/Pictures").arg(name));
        }
        QCOMPARE(QDir(Settings::dataFolder()).entryList(QDir::Files), QStringList{"Tolvane Sample.png"});
    }
};

X11_TEST_MAIN(WelcomeX11Test, QApplication, {"xdotool", "xdotool"})

#include "test_welcome_x11.moc"
