#include "app/feedback.h"
#include "app/wheelcontroller.h"
#include "app/wheeldropview.h"
#include "app/wheelgeometry.h"
#include "app/wheelmodel.h"
#include "app/wheelpanel.h"
#include "core/catalog.h"
#include "core/settings.h"

#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>
#include <QTest>
#include <QUrl>

namespace {

struct Dropped
{
    int calls = 0;
    std::optional<WheelItem> item;
    QStringList files;
    QPoint point;
};

QRectF available()
{
    return QRectF(QGuiApplication::primaryScreen()->availableGeometry());
}

// The drop view's position over petal `index` of `count`.
QPointF overPetal(int index, int count)
{
    return QPointF(160, 160) + WheelGeometry::polar(84, WheelGeometry::centreAngle(index, count));
}

QMimeData* fileDrag(const QStringList& paths)
{
    auto* mime = new QMimeData;
    QList<QUrl> urls;
    for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
    mime->setUrls(urls);
    return mime;
}

// QApplication does not pass on a drop that does not come from the window system; the event
// is handed to the widget the way its window hands it on.
void deliver(QWidget* widget, QEvent* event)
{
    static_cast<QObject*>(widget)->event(event);
}

} // namespace

class WheelControllerTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Settings::shared().setHighlightSound(false);
    }

    void showCentresAtPointerInsideScreen_data()
    {
        const QRectF a = available();
        const double m = WheelController::edgeMargin;
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<QPointF>("centre");
        const QPointF middle = a.center();
        QTest::newRow("middle") << middle.toPoint() << QPointF(middle.toPoint());
        QTest::newRow("near the left edge") << QPoint(int(a.left()) + 30, int(middle.y()))
                                            << QPointF(a.left() + m, int(middle.y()));
        QTest::newRow("bottom right corner") << QPoint(int(a.right()) - 5, int(a.bottom()) - 5)
                                             << QPointF(a.right() - m, a.bottom() - m);
        QTest::newRow("off screen above") << QPoint(int(middle.x()), -500) << QPointF(int(middle.x()), a.top() + m);
    }
    void showCentresAtPointerInsideScreen()
    {
        QFETCH(QPoint, pointer);
        QFETCH(QPointF, centre);
        WheelController wheel;
        wheel.show(WheelMode::actions, {}, pointer);
        QVERIFY(wheel.isVisible());
        QVERIFY(wheel.panel()->isVisible());
        QVERIFY(std::abs(wheel.anchor().x() - centre.x()) < 1e-9);
        QVERIFY(std::abs(wheel.anchor().y() - centre.y()) < 1e-9);
        const QRect frame = wheel.panel()->geometry();
        QCOMPARE(frame.size(), QSize(320, 320));
        QVERIFY(std::abs(frame.x() + 160 - centre.x()) <= 0.5);
        QVERIFY(std::abs(frame.y() + 160 - centre.y()) <= 0.5);
        QTRY_VERIFY(wheel.model().bloom());
    }

    void clamp_data()
    {
        QTest::addColumn<QRectF>("area");
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<QPointF>("expected");
        const QRectF screen(0, 0, 1440, 900);
        QTest::newRow("inside") << screen << QPointF(700, 400) << QPointF(700, 400);
        QTest::newRow("30 from the left") << screen << QPointF(30, 400) << QPointF(139.92, 400);
        QTest::newRow("on the margin") << screen << QPointF(139.92, 400) << QPointF(139.92, 400);
        QTest::newRow("right and bottom") << screen << QPointF(1430, 890) << QPointF(1300.08, 760.08);
        QTest::newRow("narrower than two margins")
            << QRectF(100, 0, 200, 900) << QPointF(150, 400) << QPointF(300 - 139.92, 400);
        QTest::newRow("second screen") << QRectF(1440, 25, 1920, 1055) << QPointF(1500, 30)
                                       << QPointF(1579.92, 164.92);
    }
    void clamp()
    {
        QFETCH(QRectF, area);
        QFETCH(QPointF, point);
        QFETCH(QPointF, expected);
        const QPointF got = WheelController::clamp(point, area);
        QVERIFY2(std::abs(got.x() - expected.x()) < 1e-9 && std::abs(got.y() - expected.y()) < 1e-9,
                 qPrintable(QStringLiteral("%1, %2").arg(got.x()).arg(got.y())));
    }

    void secondKeyKeepsThePlace()
    {
        WheelController wheel;
        const QPoint first = available().center().toPoint();
        wheel.show(WheelMode::actions, {}, first);
        QVERIFY(wheel.track(overPetal(1, 6) - QPointF(160, 160)));
        wheel.show(WheelMode::conversions, {QStringLiteral("/nowhere/a.qqq")}, first + QPoint(200, 100));
        QCOMPARE(wheel.anchor(), QPointF(first));
        QCOMPARE(wheel.model().mode(), WheelMode::conversions);
        QVERIFY(wheel.model().items().isEmpty());
        QVERIFY(!wheel.model().highlighted());
        QVERIFY(!wheel.model().bloom()); // replayed on the next turn
        QTRY_VERIFY(wheel.model().bloom());
    }

    void hideSoonHidesAfterTheDelay()
    {
        WheelController wheel;
        wheel.show(WheelMode::actions, {}, available().center().toPoint());
        wheel.hideSoon();
        QVERIFY(wheel.panel()->isVisible());
        QTRY_VERIFY(!wheel.panel()->isVisible());
        QVERIFY(!wheel.isVisible());
        QVERIFY(!wheel.model().bloom());

        // A show within the delay cancels it.
        wheel.show(WheelMode::actions, {}, available().center().toPoint());
        wheel.hideSoon();
        wheel.show(WheelMode::tools, {}, available().center().toPoint());
        QTest::qWait(600);
        QVERIFY(wheel.panel()->isVisible());
        QCOMPARE(wheel.panel()->windowOpacity(), 1.0);
    }

    void hideOnHiddenWheelChangesNothing()
    {
        WheelController wheel;
        wheel.model().setHighlighted(2);
        wheel.hide(true);
        QCOMPARE(wheel.model().highlighted(), std::optional<int>(2));
        QVERIFY(!wheel.panel()->isVisible());

        wheel.show(WheelMode::actions, {}, available().center().toPoint());
        wheel.hide(false);
        QVERIFY(!wheel.panel()->isVisible());
        QVERIFY(!wheel.model().bloom());
    }

    void tracking()
    {
        WheelController wheel;
        wheel.show(WheelMode::actions, {}, available().center().toPoint());
        const QPointF c(160, 160);
        QVERIFY(wheel.track(overPetal(3, 6) - c));
        QCOMPARE(wheel.model().highlighted(), std::optional<int>(3));
        QVERIFY(!wheel.track(QPointF(84, 0))); // the gap between petals 1 and 2
        QVERIFY(!wheel.model().highlighted());
        QVERIFY(!wheel.track(QPointF(0, 0))); // the hole
        QVERIFY(wheel.track(overPetal(0, 6) - c));
        QVERIFY(!wheel.track(std::nullopt));
        QVERIFY(!wheel.model().highlighted());

        // With the sound on, ticking must neither block nor fail without an audio device.
        Settings::shared().setHighlightSound(true);
        QVERIFY(wheel.track(overPetal(4, 6) - c));
        QVERIFY(wheel.track(overPetal(5, 6) - c));
        Settings::shared().setHighlightSound(false);
        QCOMPARE(wheel.model().highlighted(), std::optional<int>(5));
    }

    void dragOverPetalsAndGaps()
    {
        WheelController wheel;
        wheel.show(WheelMode::actions, {}, available().center().toPoint());
        auto* view = wheel.panel()->findChild<WheelDropView*>();
        std::unique_ptr<QMimeData> mime(fileDrag({QStringLiteral("/home/u/a.png")}));
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;

        QDragEnterEvent enter(overPetal(1, 6).toPoint(), actions, mime.get(), Qt::LeftButton, Qt::NoModifier);
        deliver(view, &enter);
        QVERIFY(enter.isAccepted());
        QCOMPARE(enter.dropAction(), Qt::CopyAction);
        QCOMPARE(wheel.model().highlighted(), std::optional<int>(1));

        QDragMoveEvent gap(QPoint(160 + 84, 160), actions, mime.get(), Qt::LeftButton, Qt::NoModifier);
        deliver(view, &gap);
        QVERIFY(!gap.isAccepted());
        QVERIFY(!wheel.model().highlighted());

        QDragMoveEvent petal(overPetal(5, 6).toPoint(), actions, mime.get(), Qt::LeftButton, Qt::NoModifier);
        deliver(view, &petal);
        QVERIFY(petal.isAccepted());
        QCOMPARE(wheel.model().highlighted(), std::optional<int>(5));

        QDragLeaveEvent leave;
        deliver(view, &leave);
        QVERIFY(!wheel.model().highlighted());

        // Text without file URLs is no drop for the wheel.
        QMimeData text;
        text.setText(QStringLiteral("hello"));
        QDragEnterEvent textEnter(overPetal(1, 6).toPoint(), actions, &text, Qt::LeftButton, Qt::NoModifier);
        deliver(view, &textEnter);
        QVERIFY(!textEnter.isAccepted());
    }

    void dropOnPetalIsACopy()
    {
        WheelController wheel;
        Dropped dropped;
        wheel.setOnDrop([&dropped](const WheelItem& item, const QStringList& files, QPoint point) {
            ++dropped.calls;
            dropped.item = item;
            dropped.files = files;
            dropped.point = point;
        });
        wheel.show(WheelMode::actions, {QStringLiteral("/home/u/old.txt")}, available().center().toPoint());
        auto* view = wheel.panel()->findChild<WheelDropView*>();
        QVERIFY(view);

        const QStringList files{QStringLiteral("/home/u/a.png"), QStringLiteral("/home/u/b.png")};
        std::unique_ptr<QMimeData> mime(fileDrag(files));
        const QPointF at = overPetal(2, 6);
        QDropEvent event(at, Qt::CopyAction | Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::ShiftModifier);
        event.setDropAction(Qt::MoveAction);
        deliver(view, &event);

        QVERIFY(event.isAccepted());
        QCOMPARE(event.dropAction(), Qt::CopyAction);
        QVERIFY(wheel.isDropping());
        QCOMPARE(dropped.calls, 0); // not before the next turn of the event loop
        QTRY_COMPARE(dropped.calls, 1);
        QVERIFY(!wheel.isDropping());
        QCOMPARE(*dropped.item, Catalog::items(WheelMode::actions, {}).at(2));
        QCOMPARE(dropped.files, files);
        QCOMPARE(dropped.point, view->mapToGlobal(at).toPoint());
        QTRY_VERIFY(!wheel.panel()->isVisible());
    }

    void refusedDrops_data()
    {
        QTest::addColumn<QPointF>("at");
        QTest::addColumn<int>("actions");
        QTest::newRow("gap between petals") << QPointF(160 + 84, 160) << int(Qt::CopyAction | Qt::MoveAction);
        QTest::newRow("centre hole") << QPointF(160, 160) << int(Qt::CopyAction);
        QTest::newRow("source offers only a move") << overPetal(2, 6) << int(Qt::MoveAction);
    }
    void refusedDrops()
    {
        QFETCH(QPointF, at);
        QFETCH(int, actions);
        WheelController wheel;
        int calls = 0;
        wheel.setOnDrop([&calls](const WheelItem&, const QStringList&, QPoint) { ++calls; });
        wheel.show(WheelMode::actions, {}, available().center().toPoint());
        auto* view = wheel.panel()->findChild<WheelDropView*>();
        std::unique_ptr<QMimeData> mime(fileDrag({QStringLiteral("/home/u/a.png")}));
        QDropEvent event(at, Qt::DropActions(actions), mime.get(), Qt::LeftButton, Qt::NoModifier);
        deliver(view, &event);
        QVERIFY(!event.isAccepted());
        QVERIFY(wheel.isVisible());
        QCoreApplication::processEvents();
        QCOMPARE(calls, 0);
    }

    void dropWithoutFileUrlsUsesDraggedFiles()
    {
        WheelController wheel;
        QStringList received;
        wheel.setOnDrop([&received](const WheelItem&, const QStringList& files, QPoint) { received = files; });
        const QStringList dragged{QStringLiteral("/home/u/report.pdf")};
        wheel.show(WheelMode::actions, dragged, available().center().toPoint());
        auto* view = wheel.panel()->findChild<WheelDropView*>();
        QMimeData mime;
        mime.setUrls({QUrl(QStringLiteral("https://example.org/x.pdf"))});
        QDropEvent event(overPetal(0, 6), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        deliver(view, &event);
        QVERIFY(event.isAccepted());
        QTRY_COMPARE(received, dragged);
    }

    void staleHighlightIsRefused()
    {
        WheelController wheel;
        wheel.show(WheelMode::actions, {}, available().center().toPoint());
        wheel.model().setHighlighted(6);
        QVERIFY(!wheel.drop({}, QPoint()));
        QVERIFY(wheel.isVisible());
        QVERIFY(!wheel.isDropping());
    }
};

QTEST_MAIN(WheelControllerTest)
#include "test_wheelcontroller.moc"
