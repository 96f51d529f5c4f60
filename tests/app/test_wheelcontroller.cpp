#include "app/wheelcontroller.h"

#include "app/wheeldropview.h"
#include "app/wheelgeometry.h"
#include "app/wheelmodel.h"
#include "app/wheelpanel.h"
#include "core/settings.h"

#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>
#include <QTest>
#include <QUrl>

using Dropped = QList<std::tuple<WheelItem, QStringList, QPoint>>;

namespace {

QPoint middle() { return QGuiApplication::primaryScreen()->availableGeometry().center(); }

// The drop view's position over petal `i` of the six actions.
QPointF overPetal(int i) { return QPointF(160, 160) + WheelGeometry::polar(84, WheelGeometry::centreAngle(i, 6)); }

// QApplication passes on no drag event that does not come from the window system; the event is
// handed over the way the window hands it on.
void deliver(QWidget* widget, QEvent* event) { static_cast<QObject*>(widget)->event(event); }

} // namespace

class WheelControllerTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Settings::shared().setHighlightSound(false); }

    void showCentresAtPointerInsideScreen_data()
    {
        const QRectF a(QGuiApplication::primaryScreen()->availableGeometry());
        const QPointF m(WheelController::edgeMargin, WheelController::edgeMargin);
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<QPointF>("centre");
        QTest::newRow("middle") << middle() << QPointF(middle());
        QTest::newRow("bottom right") << (a.bottomRight() - QPointF(5, 5)).toPoint() << a.bottomRight() - m;
        QTest::newRow("off screen, top left") << QPoint(-500, -500) << a.topLeft() + m;
    }
    void showCentresAtPointerInsideScreen()
    {
        QFETCH(QPoint, pointer);
        QFETCH(QPointF, centre);
        WheelController wheel;
        wheel.show(WheelMode::actions, {}, pointer);
        QVERIFY(wheel.isVisible() && wheel.panel()->isVisible());
        QVERIFY((QPointF(wheel.panel()->pos() + QPoint(160, 160)) - centre).manhattanLength() <= 1);
    }

    void showAgainAndHide()
    {
        WheelController wheel;
        wheel.show(WheelMode::actions, {}, middle());
        wheel.hideSoon();
        QVERIFY(wheel.panel()->isVisible());
        QTRY_VERIFY(!wheel.panel()->isVisible());

        // A second key while the wheel is up swaps its petals where it stands.
        wheel.show(WheelMode::actions, {}, middle());
        QVERIFY(wheel.track(overPetal(1) - QPointF(160, 160)));
        wheel.hideSoon();
        wheel.show(WheelMode::conversions, {QStringLiteral("/nowhere/a.qqq")}, middle() + QPoint(200, 100));
        QCOMPARE(wheel.anchor(), QPointF(middle()));
        QVERIFY(wheel.model().items().isEmpty() && !wheel.model().highlighted());
        wheel.model().setHighlighted(0); // left over from other petals: never dropped on
        QVERIFY(!wheel.drop({}, QPoint()));

        // Shown again within the delay (above), or during the fade, it stays up at full opacity.
        wheel.hide(true);
        wheel.show(WheelMode::actions, {}, middle());
        QTest::qWait(600);
        QVERIFY(wheel.isVisible() && wheel.panel()->isVisible());
        QCOMPARE(wheel.panel()->windowOpacity(), 1.0);
    }

    void drops_data()
    {
        QTest::addColumn<QPointF>("at");
        QTest::addColumn<bool>("moveOnly");
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<int>("petal"); // -1: refused
        QTest::addColumn<QStringList>("files");
        const QStringList pngs{"/home/u/a.png", "/home/u/b.png"}, none, dragged{"/home/u/old.txt"};
        const QList<QUrl> urls{QUrl::fromLocalFile(pngs[0]), QUrl::fromLocalFile(pngs[1])}, web{QUrl("https://x")};
        QTest::newRow("petal") << overPetal(2) << false << urls << 2 << pngs;
        QTest::newRow("web: the dragged files") << overPetal(0) << false << web << 0 << dragged;
        QTest::newRow("gap") << QPointF(160 + 84, 160) << false << urls << -1 << none;
        QTest::newRow("move only") << overPetal(2) << true << urls << -1 << none;
        QTest::newRow("text") << overPetal(2) << false << QList<QUrl>() << -1 << none;
    }
    void drops()
    {
        QFETCH(QPointF, at);
        QFETCH(bool, moveOnly);
        const Qt::DropActions actions = moveOnly ? Qt::MoveAction : Qt::CopyAction | Qt::MoveAction;
        QFETCH(QList<QUrl>, urls);
        QFETCH(int, petal);
        QFETCH(QStringList, files);
        Dropped dropped;
        WheelController wheel;
        wheel.setOnDrop([&](const WheelItem& i, const QStringList& f, QPoint p) { dropped.append({i, f, p}); });
        wheel.show(WheelMode::actions, {"/home/u/old.txt"}, middle());
        auto* view = wheel.panel()->findChild<WheelDropView*>();
        QMimeData mime;
        urls.isEmpty() ? mime.setText(QStringLiteral("hello")) : mime.setUrls(urls);

        QDragMoveEvent move(at.toPoint(), actions, &mime, Qt::LeftButton, Qt::NoModifier);
        deliver(view, &move);
        QCOMPARE(move.isAccepted(), petal >= 0);
        QCOMPARE(wheel.model().highlighted().value_or(-1), petal);

        // The source proposes a move; the wheel takes a copy, and calls back on the next turn.
        QDropEvent drop(at, actions, &mime, Qt::LeftButton, Qt::ShiftModifier);
        drop.setDropAction(Qt::MoveAction);
        deliver(view, &drop);
        QCOMPARE(drop.isAccepted() && drop.dropAction() == Qt::CopyAction, petal >= 0);
        QVERIFY(dropped.isEmpty());
        QCoreApplication::processEvents();
        const QPoint point = view->mapToGlobal(at).toPoint();
        QCOMPARE(dropped, (petal < 0 ? Dropped() : Dropped{{wheel.model().items()[petal], files, point}}));
        QTRY_COMPARE(wheel.panel()->isVisible(), petal < 0);
    }
};

QTEST_MAIN(WheelControllerTest)
#include "test_wheelcontroller.moc"
