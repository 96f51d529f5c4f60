#include "app/wheelcontroller.h"

#include "app/wheeldropview.h"
#include "app/wheelpanel.h"
#include "core/settings.h"
#include "toolkit/wheel/wheelgeometry.h"
#include "toolkit/wheel/wheelmodel.h"

#include <QGuiApplication>
#include <QMimeData>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTest>
#include <QTimer>
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

    // The wheel stays on screen, swaps petals in place, and hides only when nothing shows it again.
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

        // Shown again within the delay (above), or during the fade, it stays up at full opacity
        // once neither is pending.
        wheel.hide(true);
        wheel.show(WheelMode::actions, {}, middle());
        QTRY_VERIFY(wheel.findChild<QPropertyAnimation*>()->state() == QAbstractAnimation::Stopped &&
                    !wheel.findChild<QTimer*>()->isActive());
        QVERIFY(wheel.isVisible() && wheel.panel()->isVisible() && wheel.panel()->windowOpacity() == 1.0);
    }

    // Hidden by Escape while the source drags on, the wheel lights nothing and takes no drop.
    void hiddenWheelTakesNoDrop()
    {
        WheelController wheel;
        bool dropped = false;
        wheel.setOnDrop([&dropped](const WheelItem&, const QStringList&, QPoint) { dropped = true; });
        wheel.show(WheelMode::actions, {QStringLiteral("/tmp/a.txt")}, middle());
        const QPointF petal = overPetal(1) - QPointF(160, 160);
        QVERIFY(wheel.track(petal));
        wheel.hide(false);
        QVERIFY(!wheel.track(petal));
        QVERIFY(!wheel.model().highlighted());
        wheel.model().setHighlighted(1);
        QVERIFY(!wheel.drop({}, QPoint()));
        QCoreApplication::processEvents();
        QVERIFY(!dropped);
    }

    // Over a petal a drop of files or of a web address is taken as a copy of the dragged files
    // and called back on the next turn; a gap, a move-only drag and text are refused.
    void drops()
    {
        const QStringList pngs{"/home/u/a.png", "/home/u/b.png"}, none;
        const QList<QUrl> urls{QUrl::fromLocalFile(pngs[0]), QUrl::fromLocalFile(pngs[1])};
        const int any = Qt::CopyAction | Qt::MoveAction;
        const std::tuple<QPointF, int, QList<QUrl>, int, QStringList> rows[] = {
            {overPetal(2), any, urls, 2, pngs},
            {overPetal(0), any, {QUrl("https://x")}, 0, {"/home/u/old.txt"}},
            {QPointF(160 + 84, 160), any, urls, -1, none},
            {overPetal(2), Qt::MoveAction, urls, -1, none},
            {overPetal(2), any, {}, -1, none}, // text
        };
        for (const auto& [at, actions, urls, petal, files] : rows) {
            Dropped dropped;
            WheelController wheel;
            wheel.setOnDrop([&](const WheelItem& i, const QStringList& f, QPoint p) {
                dropped.append({i, f, p});
            });
            wheel.show(WheelMode::actions, {"/home/u/old.txt"}, middle());
            auto* view = wheel.panel()->findChild<WheelDropView*>();
            QMimeData mime;
            urls.isEmpty() ? mime.setText(QStringLiteral("hello")) : mime.setUrls(urls);
            // QApplication passes on no drag event that does not come from the window system; the
            // event is handed over the way the window hands it on.
            QDragMoveEvent move(at.toPoint(), Qt::DropActions(actions), &mime, Qt::LeftButton,
                                Qt::NoModifier);
            static_cast<QObject*>(view)->event(&move);
            QCOMPARE(move.isAccepted(), petal >= 0);
            QCOMPARE(wheel.model().highlighted().value_or(-1), petal);
            QDropEvent drop(at, Qt::DropActions(actions), &mime, Qt::LeftButton, Qt::ShiftModifier);
            drop.setDropAction(Qt::MoveAction);
            static_cast<QObject*>(view)->event(&drop);
            QCOMPARE(drop.isAccepted() && drop.dropAction() == Qt::CopyAction && dropped.isEmpty(),
                     petal >= 0);
            QCoreApplication::processEvents();
            const QPoint point = view->mapToGlobal(at).toPoint();
            QCOMPARE(dropped,
                     (petal < 0 ? Dropped() : Dropped{{wheel.model().items()[petal], files, point}}));
            QTRY_COMPARE(wheel.panel()->isVisible(), petal < 0);
        }
    }
};

QTEST_MAIN(WheelControllerTest)
#include "test_wheelcontroller.moc"
