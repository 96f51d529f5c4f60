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

QPoint middle()
{
    return QGuiApplication::primaryScreen()->availableGeometry().center();
}

// The drop view's position over petal `i` of the six actions.
QPointF overPetal(int i)
{
    return QPointF(160, 160) + WheelGeometry::polar(84, WheelGeometry::centreAngle(i, 6));
}

} // namespace

class WheelControllerTest : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase() { Settings::shared().setHighlightSound(false); }

    void showStaysOnScreenShowsAgainAndHides()
    {
        const QRectF a(QGuiApplication::primaryScreen()->availableGeometry());
        const QPointF m(WheelController::edgeMargin, WheelController::edgeMargin);
        WheelController wheel;
        const auto centredAt = [&](QPointF p) {
            return (wheel.panel()->pos() + QPointF(160, 160) - p).manhattanLength() <= 1;
        };
        // The whole wheel stays on the screen, even for a pointer off every screen.
        wheel.show(WheelMode::actions, {}, QPoint(-500, -500));
        QVERIFY(wheel.isVisible() && wheel.panel()->isVisible() && centredAt(a.topLeft() + m));
        wheel.hideSoon();
        QVERIFY(wheel.panel()->isVisible());
        QTRY_VERIFY(!wheel.panel()->isVisible());

        // A second key while the wheel is up swaps its petals where it stands.
        wheel.show(WheelMode::actions, {}, (a.bottomRight() - QPointF(5, 5)).toPoint());
        QVERIFY(centredAt(a.bottomRight() - m) && wheel.track(overPetal(1) - QPointF(160, 160)));
        wheel.hideSoon();
        wheel.show(WheelMode::conversions, {QStringLiteral("/nowhere/a.qqq")}, middle());
        QVERIFY(centredAt(a.bottomRight() - m) && wheel.model().items().isEmpty() &&
                !wheel.model().highlighted());
        wheel.model().setHighlighted(0); // left over from other petals: never dropped on
        QVERIFY(!wheel.drop({}, QPoint()));

        // Shown again within the delay (above), or during the fade, it stays up at full opacity.
        wheel.hide(true);
        wheel.show(WheelMode::actions, {}, middle());
        QTest::qWait(600);
        QVERIFY(wheel.isVisible() && wheel.panel()->isVisible() && wheel.panel()->windowOpacity() == 1.0);
    }

    void drops_data()
    {
        QTest::addColumn<QPointF>("at");
        QTest::addColumn<int>("actions");
        QTest::addColumn<QList<QUrl>>("urls"); // none: a text drag
        QTest::addColumn<int>("petal");        // -1: refused
        QTest::addColumn<QStringList>("files");
        const QStringList pngs{"/home/u/a.png", "/home/u/b.png"}, none;
        const QList<QUrl> urls{QUrl::fromLocalFile(pngs[0]), QUrl::fromLocalFile(pngs[1])},
            web{QUrl("https://x")};
        const int any = Qt::CopyAction | Qt::MoveAction;
        QTest::newRow("petal") << overPetal(2) << any << urls << 2 << pngs;
        QTest::newRow("web: the dragged files")
            << overPetal(0) << any << web << 0 << QStringList{"/home/u/old.txt"};
        QTest::newRow("gap") << QPointF(160 + 84, 160) << any << urls << -1 << none;
        QTest::newRow("move only") << overPetal(2) << int(Qt::MoveAction) << urls << -1 << none;
        QTest::newRow("text") << overPetal(2) << any << QList<QUrl>() << -1 << none;
    }

    void drops()
    {
        QFETCH(QPointF, at);
        QFETCH(int, actions);
        QFETCH(QList<QUrl>, urls);
        QFETCH(int, petal);
        QFETCH(QStringList, files);
        Dropped dropped;
        WheelController wheel;
        wheel.setOnDrop([&](const WheelItem& i, const QStringList& f, QPoint p) {
            dropped.append({i, f, p});
        });
        wheel.show(WheelMode::actions, {"/home/u/old.txt"}, middle());
        auto* view = wheel.panel()->findChild<WheelDropView*>();
        QMimeData mime;
        urls.isEmpty() ? mime.setText(QStringLiteral("hello")) : mime.setUrls(urls);

        // QApplication passes on no drag event that does not come from the window system; the event
        // is handed over the way the window hands it on.
        QDragMoveEvent move(at.toPoint(), Qt::DropActions(actions), &mime, Qt::LeftButton, Qt::NoModifier);
        static_cast<QObject*>(view)->event(&move);
        QCOMPARE(move.isAccepted(), petal >= 0);
        QCOMPARE(wheel.model().highlighted().value_or(-1), petal);

        // The source proposes a move; the wheel takes a copy, and calls back on the next turn.
        QDropEvent drop(at, Qt::DropActions(actions), &mime, Qt::LeftButton, Qt::ShiftModifier);
        drop.setDropAction(Qt::MoveAction);
        static_cast<QObject*>(view)->event(&drop);
        QCOMPARE(drop.isAccepted() && drop.dropAction() == Qt::CopyAction && dropped.isEmpty(), petal >= 0);
        QCoreApplication::processEvents();
        const QPoint point = view->mapToGlobal(at).toPoint();
        QCOMPARE(dropped, (petal < 0 ? Dropped() : Dropped{{wheel.model().items()[petal], files, point}}));
        QTRY_COMPARE(wheel.panel()->isVisible(), petal < 0);
    }
};

QTEST_MAIN(WheelControllerTest)
#include "test_wheelcontroller.moc"
