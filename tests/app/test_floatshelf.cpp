// The float shelf: its place and size on the screen, what it holds, what its panel shows, what
// drops onto it and drags out of it carry.

#include "app/dragallhandle.h"
#include "app/floatshelf.h"
#include "app/shelfpanel.h"
#include "app/shelfrow.h"
#include "app/shelfview.h"

#include <QApplication>
#include <QMimeData>
#include <QSignalSpy>
#include <QtTest>

class FloatShelfTest : public QObject
{
    Q_OBJECT

  private slots:
    void frames_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<FloatShelf::Edge>("edge");
        QTest::addColumn<QRect>("current");
        QTest::addColumn<QRect>("frame");
        using E = FloatShelf::Edge;
        // An available area of 1000 × 700 at (100, 50): left 108, right 100 + 1000 − 232 − 8 = 860.
        QTest::newRow("empty") << 0 << E::free << QRect(300, 200, 232, 300) << QRect(300, 200, 232, 146);
        QTest::newRow("one") << 1 << E::free << QRect(300, 200, 232, 146) << QRect(300, 200, 232, 146);
        QTest::newRow("two grow downwards")
            << 2 << E::free << QRect(300, 200, 232, 146) << QRect(300, 200, 232, 204);
        QTest::newRow("eight") << 8 << E::free << QRect(300, 100, 232, 204) << QRect(300, 100, 232, 552);
        QTest::newRow("nine and more stay")
            << 20 << E::free << QRect(300, 100, 232, 552) << QRect(300, 100, 232, 560);
        QTest::newRow("left") << 1 << E::left << QRect(300, 200, 232, 146) << QRect(108, 200, 232, 146);
        QTest::newRow("right") << 1 << E::right << QRect(300, 200, 232, 146) << QRect(860, 200, 232, 146);
        QTest::newRow("pushed up from the bottom")
            << 8 << E::free << QRect(300, 600, 232, 146) << QRect(300, 750 - 552 - 8, 232, 552);
        QTest::newRow("kept below the top")
            << 1 << E::free << QRect(300, 0, 232, 146) << QRect(300, 58, 232, 146);
    }

    void frames()
    {
        QFETCH(int, count);
        QFETCH(FloatShelf::Edge, edge);
        QFETCH(QRect, current);
        QTEST(FloatShelf::frame(count, edge, current, QRect(100, 50, 1000, 700)), "frame");
    }

    // Files are added once each, in order; the panel shows them, with the strip from two on, and
    // goes when the last one is taken off.
    void holdsFilesOnce()
    {
        FloatShelf shelf;
        QSignalSpy changes(&shelf, &FloatShelf::itemsChanged);
        shelf.show({});
        ShelfView* view = shelf.panel()->view();
        QVERIFY(shelf.panel()->isVisible());
        QVERIFY(view->showsHint() && view->strip()->isHidden());
        QCOMPARE(shelf.panel()->height(), 146);

        shelf.show({"/p/a.png", "/p/b.pdf", "/p/./a.png"});
        QCOMPARE(shelf.items(), (QStringList{"/p/a.png", "/p/b.pdf"}));
        QCOMPARE(changes.count(), 1);
        shelf.show({"/p/b.pdf"});
        QCOMPARE(changes.count(), 1);
        QCOMPARE(view->rows().size(), 2);
        QCOMPARE(view->rows()[1]->path(), QString("/p/b.pdf"));
        QVERIFY(!view->showsHint() && !view->strip()->isHidden());
        QCOMPARE(view->strip()->files(), shelf.items());
        QCOMPARE(shelf.panel()->height(), 204);

        shelf.remove("/p/a.png");
        QCOMPARE(shelf.items(), QStringList{"/p/b.pdf"});
        QVERIFY(view->strip()->isHidden() && shelf.panel()->isVisible());
        shelf.remove("/p/b.pdf");
        QVERIFY(shelf.items().isEmpty() && !shelf.panel()->isVisible());
        shelf.show({});
        QVERIFY(shelf.panel()->isVisible() && view->showsHint());

        shelf.show({"/p/c.txt"});
        shelf.close();
        QVERIFY(shelf.items().isEmpty() && !shelf.panel()->isVisible());
    }

    // Pinning moves the panel to the edge; a second tap unpins it where it stands.
    void pins()
    {
        FloatShelf shelf;
        shelf.show({"/p/a.png"});
        const QRect area = shelf.panel()->screen()->availableGeometry();
        shelf.togglePin(FloatShelf::Edge::right);
        QCOMPARE(shelf.panel()->x(), area.x() + area.width() - 240);
        shelf.togglePin(FloatShelf::Edge::left);
        QCOMPARE(shelf.panel()->x(), area.x() + 8);
        shelf.togglePin(FloatShelf::Edge::left);
        QCOMPARE(shelf.edge(), FloatShelf::Edge::free);
        QCOMPARE(shelf.panel()->x(), area.x() + 8);
    }

    // A drop adds the files and is taken as a copy, whatever the source proposed; a drag out
    // carries the files in the shelf's order.
    void dropsAndDrags()
    {
        FloatShelf shelf;
        shelf.show({});
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile("/p/one.png"), QUrl::fromLocalFile("/p/Folder"),
                      QUrl("https://example.org/x.png")});
        ShelfView* view = shelf.panel()->view();
        QDragEnterEvent enter(QPoint(50, 80), Qt::MoveAction | Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::ShiftModifier);
        QCoreApplication::sendEvent(view, &enter);
        QVERIFY(enter.isAccepted() && view->isTargeted());
        QDropEvent drop(QPointF(50, 80), Qt::MoveAction | Qt::CopyAction, &data, Qt::LeftButton,
                        Qt::ShiftModifier);
        drop.setDropAction(Qt::MoveAction);
        QCoreApplication::sendEvent(view, &drop);
        QVERIFY(drop.isAccepted() && !view->isTargeted());
        QCOMPARE(drop.dropAction(), Qt::CopyAction);
        QCOMPARE(shelf.items(), (QStringList{"/p/one.png", "/p/Folder"}));

        std::unique_ptr<QMimeData> out(DragAllHandle::mimeData(shelf.items()));
        QCOMPARE(out->urls(),
                 (QList<QUrl>{QUrl::fromLocalFile("/p/one.png"), QUrl::fromLocalFile("/p/Folder")}));
        QCOMPARE(DragAllHandle::dragImage(shelf.items()).size(), QSize(52, 52));
    }
};

QTEST_MAIN(FloatShelfTest)
#include "test_floatshelf.moc"
