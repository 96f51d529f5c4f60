// The tray application's wheel on a real X server: a drag from another process, a modifier key
// from XTest, the wheel under the pointer and the drop on a petal, all through the real
// AppDelegate with its drag monitor.

#include "app/appdelegate.h"
#include "app/wheelcontroller.h"
#include "app/wheelgeometry.h"
#include "app/wheelmodel.h"
#include "app/wheelpanel.h"
#include "core/catalog.h"
#include "core/settings.h"
#include "platform/modifiermasks.h"
#include "platform/x11dragwatcher.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "../support/xvfb.h"

namespace {

constexpr int patience = 5000;
const QPoint onSource(100, 100);

struct Drop
{
    WheelItem item;
    QStringList files;
    QPoint point;
};

bool xdotool(const QStringList& args)
{
    return QProcess::execute(QStringLiteral("xdotool"), args) == 0;
}

QStringList at(QPoint p)
{
    return {QString::number(p.x()), QString::number(p.y())};
}

// The window as the X server has it: its top-left corner on the root window, and whether it is
// mapped and viewable.
struct ServerWindow
{
    QPoint topLeft{-1, -1};
    bool viewable = false;
};

ServerWindow serverWindow(WId id)
{
    QProcess info;
    info.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(id)});
    info.waitForFinished();
    const QString text = QString::fromLocal8Bit(info.readAllStandardOutput());
    ServerWindow window;
    const auto number = [&](const char* label) {
        const QRegularExpressionMatch m = QRegularExpression(QLatin1String(label) + QStringLiteral(":\\s*(-?\\d+)")).match(text);
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    };
    window.topLeft = {number("Absolute upper-left X"), number("Absolute upper-left Y")};
    window.viewable = text.contains(QStringLiteral("Map State: IsViewable"));
    return window;
}

} // namespace

#define REQUIRE_SCREEN() \
    if (!m_noScreen.isEmpty()) QSKIP(qPrintable(m_noScreen))

class WheelX11Test : public QObject
{
    Q_OBJECT
public:
    explicit WheelX11Test(const QString& noScreen)
        : m_noScreen(noScreen)
    {
    }

private:
    WheelController& wheel() { return m_app->wheel(); }

    // Whether the drag source has said how its last drag ended; the test macros ask more than once.
    bool reported()
    {
        m_said += m_source.readAllStandardOutput();
        const qsizetype start = m_said.indexOf("dropped ");
        return start >= 0 && m_said.indexOf('\n', start) >= 0;
    }

    // How the source's last drag ended: "dropped copy", "dropped none"…
    QByteArray takeReport()
    {
        const qsizetype start = m_said.indexOf("dropped ");
        const qsizetype end = m_said.indexOf('\n', start);
        const QByteArray line = m_said.mid(start, end - start);
        m_said.remove(0, end + 1);
        return line;
    }

    // Presses on the drag source and takes the pointer to `pointer` in one jump, away from any
    // window that takes drops: the source starts a drag of the two files on the way.
    void startDrag(QPoint pointer)
    {
        QVERIFY(xdotool(QStringList{"mousemove"} + at(onSource) + QStringList{"mousedown", "1", "mousemove"} +
                        at(pointer)));
    }

    // The screen point over the middle of petal `index` of the wheel as it stands.
    QPoint overPetal(int index)
    {
        const int count = int(wheel().model().items().size());
        return (wheel().anchor() + WheelGeometry::polar(WheelGeometry::labelRadius, WheelGeometry::centreAngle(index, count)))
            .toPoint();
    }

    // Holds `key` until the wheel of `mode` is up: the key is seen whether it goes down before
    // or after the monitor has noticed the drag.
    void tapKey(const QString& key, WheelMode mode)
    {
        QVERIFY(xdotool({"keydown", key}));
        QTRY_VERIFY_WITH_TIMEOUT(wheel().isVisible() && wheel().model().mode() == mode, patience);
        QVERIFY(xdotool({"keyup", key}));
    }

private slots:
    void initTestCase()
    {
        if (!m_noScreen.isEmpty()) return;
        Settings::store()->clear();
        Settings::shared().reload();
        Settings::shared().setOnboarded(true);
        Settings::shared().setHighlightSound(false);

        QVERIFY(m_dir.isValid());
        for (const QString name : {"photo one.png", "photo två.png"}) {
            QImage image(32, 24, QImage::Format_RGB32);
            image.fill(Qt::darkCyan);
            m_files << m_dir.filePath(name);
            QVERIFY(image.save(m_files.last()));
        }

        m_app = std::make_unique<AppDelegate>();
        m_app->launch();
        m_app->setOnDrop([this](const WheelItem& item, const QStringList& files, QPoint point) {
            m_drops.append({item, files, point});
        });

        dieWithTest(m_source);
        m_source.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_source.start(QCoreApplication::applicationDirPath() + QStringLiteral("/dragsource"), m_files);
        QVERIFY(m_source.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT((m_said += m_source.readAllStandardOutput()).contains("ready"), patience);
        m_said.clear();
    }

    void cleanupTestCase()
    {
        m_source.kill();
        m_source.waitForFinished();
        m_app.reset();
    }

    void init()
    {
        m_drops.clear();
        m_said += m_source.readAllStandardOutput();
        m_said.clear();
    }

    // Whatever a failed case left pressed is let go, and the wheel is gone before the next.
    void cleanup()
    {
        if (!m_noScreen.isEmpty()) return;
        xdotool({"keyup", "shift", "Control_L", "Alt_L", "Escape", "mouseup", "1"});
        if (!Settings::shared().enabled()) m_app->toggleEnabled();
        QTRY_VERIFY_WITH_TIMEOUT(!wheel().isVisible(), patience);
        QTRY_VERIFY_WITH_TIMEOUT(!wheel().panel()->isVisible(), patience);
    }

    void dropOnPetal_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<WheelMode>("mode");
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<QPointF>("centre");
        QTest::addColumn<int>("petal"); // counted from the end when negative

        const double m = WheelController::edgeMargin;
        QTest::newRow("Shift: conversions") << "shift" << WheelMode::conversions << QPoint(640, 400)
                                            << QPointF(640, 400) << 2;
        QTest::newRow("Alt: tools") << "Alt_L" << WheelMode::tools << QPoint(420, 300) << QPointF(420, 300) << 0;
        QTest::newRow("Control: actions, clamped at the corner")
            << "Control_L" << WheelMode::actions << QPoint(1250, 780) << QPointF(1280 - m, 800 - m) << -1;
    }

    void dropOnPetal()
    {
        REQUIRE_SCREEN();
        QFETCH(QString, key);
        QFETCH(WheelMode, mode);
        QFETCH(QPoint, pointer);
        QFETCH(QPointF, centre);
        QFETCH(int, petal);

        startDrag(pointer);
        if (QTest::currentTestFailed()) return;
        tapKey(key, mode);
        if (QTest::currentTestFailed()) return;

        const QList<WheelItem> items = Catalog::items(mode, m_files);
        QVERIFY(!items.isEmpty());
        QCOMPARE(wheel().model().items(), items);
        QCOMPARE(wheel().model().restingText(), QStringLiteral("2 items"));
        QVERIFY(qAbs(wheel().anchor().x() - centre.x()) <= 1 && qAbs(wheel().anchor().y() - centre.y()) <= 1);
        WheelPanel* panel = wheel().panel();
        const QPoint corner = (centre - QPointF(160, 160)).toPoint();
        QTRY_VERIFY_WITH_TIMEOUT(panel->windowHandle() && panel->windowHandle()->isExposed(), patience);
        const ServerWindow onServer = serverWindow(panel->winId());
        QVERIFY(onServer.viewable);
        QVERIFY2((onServer.topLeft - corner).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("wheel at %1,%2").arg(onServer.topLeft.x()).arg(onServer.topLeft.y())));

        const int index = petal < 0 ? int(items.size()) + petal : petal;
        const QPoint over = overPetal(index);
        QVERIFY(xdotool(QStringList{"mousemove"} + at(over)));
        QTRY_COMPARE_WITH_TIMEOUT(wheel().model().highlighted(), std::optional<int>(index), patience);

        QVERIFY(xdotool({"mouseup", "1"}));
        QTRY_COMPARE_WITH_TIMEOUT(m_drops.size(), 1, patience);
        QCOMPARE(m_drops[0].item, items[index]);
        QCOMPARE(m_drops[0].files, m_files);
        QVERIFY2((m_drops[0].point - over).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("dropped at %1,%2").arg(m_drops[0].point.x()).arg(m_drops[0].point.y())));
        QVERIFY(!wheel().isVisible());

        // The source offered a move and preferred it; the wheel took a copy.
        QTRY_VERIFY_WITH_TIMEOUT(reported(), patience);
        QCOMPARE(takeReport(), QByteArray("dropped copy"));
        for (const QString& file : m_files) QVERIFY(QFileInfo::exists(file));
    }

    // A second key during the same drag changes the petals where the wheel stands; a release
    // without moving drops on the new petal under the pointer.
    void secondKeyChangesThePetalsInPlace()
    {
        REQUIRE_SCREEN();
        startDrag({640, 400});
        if (QTest::currentTestFailed()) return;
        tapKey(QStringLiteral("shift"), WheelMode::conversions);
        if (QTest::currentTestFailed()) return;
        const QPointF anchor = wheel().anchor();
        const QPoint corner = wheel().panel()->pos();
        QVERIFY(xdotool(QStringList{"mousemove"} + at(overPetal(0))));
        QTRY_COMPARE_WITH_TIMEOUT(wheel().model().highlighted(), std::optional<int>(0), patience);

        tapKey(QStringLiteral("Alt_L"), WheelMode::tools);
        if (QTest::currentTestFailed()) return;
        const QList<WheelItem> tools = Catalog::items(WheelMode::tools, m_files);
        QCOMPARE(wheel().model().items(), tools);
        QCOMPARE(wheel().model().highlighted(), std::nullopt);
        QCOMPARE(wheel().anchor(), anchor);
        QCOMPARE(wheel().panel()->pos(), corner);

        QVERIFY(xdotool({"mouseup", "1"}));
        QTRY_COMPARE_WITH_TIMEOUT(m_drops.size(), 1, patience);
        QCOMPARE(m_drops[0].item, tools[0]);
        QTRY_VERIFY_WITH_TIMEOUT(reported(), patience);
        QCOMPARE(takeReport(), QByteArray("dropped copy"));
    }

    // A Qt source hands its files over only for the time of the input event behind its latest
    // position message, so they must still come when the drag has crossed drop-aware windows
    // (the source's own, then another) before the monitor asks.
    void dragAcrossDropAwareWindows()
    {
        REQUIRE_SCREEN();
        QWidget target;
        target.setWindowFlags(Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        target.setAcceptDrops(true);
        target.setGeometry(700, 150, 300, 300);
        target.show();
        QVERIFY(QTest::qWaitForWindowExposed(&target));

        // A watcher of the test's own sees the press when the application's does.
        const std::unique_ptr<X11DragWatcher> witness = X11DragWatcher::open();
        QVERIFY(witness);
        QSignalSpy presses(witness.get(), &DragSource::buttonPressed);
        QVERIFY(xdotool(QStringList{"mousemove"} + at(onSource) + QStringList{"mousedown", "1"}));
        QTRY_COMPARE_WITH_TIMEOUT(presses.count(), 1, patience);

        // One run of xdotool, during which this process answers nothing, so the monitor asks
        // only once the drag has gone all the way. Relative moves go through XTest like a real
        // device's, raw events included (absolute ones are warps); each has time to reach the source.
        const QPoint rest(850, 300);
        QStringList steps;
        QPoint from = onSource;
        for (const QPoint to : {QPoint(120, 110), QPoint(140, 125), QPoint(160, 140), QPoint(450, 80), rest}) {
            steps += QStringList{"mousemove_relative", "--"} + at(to - from) + QStringList{"sleep", "0.05"};
            from = to;
        }
        QVERIFY(xdotool(steps));
        tapKey(QStringLiteral("shift"), WheelMode::conversions);
        if (QTest::currentTestFailed()) return;
        const QList<WheelItem> items = Catalog::items(WheelMode::conversions, m_files);
        QCOMPARE(wheel().model().items(), items);
        QCOMPARE(wheel().anchor(), QPointF(rest));

        QVERIFY(xdotool(QStringList{"mousemove"} + at(overPetal(0))));
        QTRY_COMPARE_WITH_TIMEOUT(wheel().model().highlighted(), std::optional<int>(0), patience);
        QVERIFY(xdotool({"mouseup", "1"}));
        QTRY_COMPARE_WITH_TIMEOUT(m_drops.size(), 1, patience);
        QCOMPARE(m_drops[0].item, items[0]);
        QCOMPARE(m_drops[0].files, m_files);
        QTRY_VERIFY_WITH_TIMEOUT(reported(), patience);
        QCOMPARE(takeReport(), QByteArray("dropped copy"));
    }

    void escapeHidesTheWheel()
    {
        REQUIRE_SCREEN();
        startDrag({640, 400});
        if (QTest::currentTestFailed()) return;
        tapKey(QStringLiteral("Alt_L"), WheelMode::tools);
        if (QTest::currentTestFailed()) return;

        QVERIFY(xdotool({"keydown", "Escape"}));
        QTRY_VERIFY_WITH_TIMEOUT(!wheel().isVisible(), patience);
        QTRY_VERIFY_WITH_TIMEOUT(!wheel().panel()->isVisible(), patience);
        QVERIFY(xdotool({"keyup", "Escape", "mouseup", "1"}));
        QTRY_VERIFY_WITH_TIMEOUT(reported(), patience);
        QCOMPARE(takeReport(), QByteArray("dropped none"));
        QVERIFY(m_drops.isEmpty());
    }

    // Released over the hole in the middle: the drop is refused and the wheel goes a moment later.
    void releaseWithoutDropHidesSoon()
    {
        REQUIRE_SCREEN();
        startDrag({640, 400});
        if (QTest::currentTestFailed()) return;
        tapKey(QStringLiteral("shift"), WheelMode::conversions);
        if (QTest::currentTestFailed()) return;

        QElapsedTimer sinceRelease;
        sinceRelease.start();
        QVERIFY(xdotool({"mouseup", "1"}));
        QTRY_VERIFY_WITH_TIMEOUT(!wheel().isVisible(), patience);
        QVERIFY2(sinceRelease.elapsed() >= 300, qPrintable(QString::number(sinceRelease.elapsed())));
        QTRY_VERIFY_WITH_TIMEOUT(reported(), patience);
        QCOMPARE(takeReport(), QByteArray("dropped none"));
        QVERIFY(m_drops.isEmpty());
    }

    void pausedOpensNothing()
    {
        REQUIRE_SCREEN();
        m_app->toggleEnabled();
        QVERIFY(!Settings::shared().enabled());

        // A watcher of the test's own proves the drag and the key are really there.
        const std::unique_ptr<X11DragWatcher> watcher = X11DragWatcher::open();
        QVERIFY(watcher);
        const quint64 before = watcher->changeCount();
        startDrag({640, 400});
        if (QTest::currentTestFailed()) return;
        QTRY_VERIFY_WITH_TIMEOUT(watcher->changeCount() != before, patience);
        std::optional<QStringList> files;
        watcher->requestFiles([&](const QStringList& paths) { files = paths; });
        QTRY_VERIFY_WITH_TIMEOUT(files.has_value(), patience);
        QCOMPARE(*files, m_files);

        QVERIFY(xdotool({"keydown", "shift"}));
        QTRY_VERIFY_WITH_TIMEOUT(watcher->modifiers() & ModifierMasks::shift, patience);
        // Some thirty polls' worth of time for a wheel that must not come.
        QTest::qWait(500);
        QVERIFY(!wheel().isVisible());
        QVERIFY(!wheel().panel()->isVisible());
        QVERIFY(xdotool({"keyup", "shift", "mouseup", "1"}));
        QTRY_VERIFY_WITH_TIMEOUT(reported(), patience);
        QCOMPARE(takeReport(), QByteArray("dropped none"));
    }

private:
    QString m_noScreen;
    QTemporaryDir m_dir;
    QStringList m_files;
    std::unique_ptr<AppDelegate> m_app;
    QList<Drop> m_drops;
    QProcess m_source;
    QByteArray m_said;
};

int main(int argc, char** argv)
{
    VirtualScreen screen;
    screen.useForThisProcess();
    QString noScreen = screen.failure();
    if (noScreen.isEmpty() && QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        noScreen = QStringLiteral("xdotool is not installed (Debian package xdotool)");
    if (noScreen.isEmpty() && QStandardPaths::findExecutable(QStringLiteral("xwininfo")).isEmpty())
        noScreen = QStringLiteral("xwininfo is not installed (Debian package x11-utils)");
    QApplication app(argc, argv);
    WheelX11Test test(noScreen);
    return QTest::qExec(&test, argc, argv);
}

#include "test_wheel_x11.moc"
