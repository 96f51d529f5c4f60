// The float shelf: its place and size on the screen, what it holds, what its panel shows, what
// drops onto it and drags out of it carry.

#include "app/dragallhandle.h"
#include "app/floatshelf.h"
#include "app/shelfpainter.h"
#include "app/shelfpanel.h"
#include "app/shelfrow.h"
#include "app/shelfview.h"
#include "toolkit/filedrag.h"

#include <QApplication>
#include <QMimeData>
#include <QSignalSpy>
#include <QToolTip>
#include <QtTest>

class FloatShelfTest : public QObject
{
    Q_OBJECT

  private slots:
    // In an available area of 1000 × 700 at (100, 50): the height follows the count up to eight
    // rows, a pin goes 8 inside its edge, and the frame stays 8 inside the area.
    void frames()
    {
        using E = FloatShelf::Edge;
        const std::tuple<int, E, QRect, QRect> rows[] = {
            {0, E::free, {300, 200, 232, 300}, {300, 200, 232, 146}},
            {2, E::free, {300, 200, 232, 146}, {300, 200, 232, 204}}, // grows downwards
            {8, E::free, {300, 100, 232, 204}, {300, 100, 232, 552}},
            {20, E::free, {300, 100, 232, 552}, {300, 100, 232, 560}},
            {1, E::left, {300, 200, 232, 146}, {108, 200, 232, 146}},
            {1, E::right, {300, 200, 232, 146}, {860, 200, 232, 146}},
            {8, E::free, {300, 600, 232, 146}, {300, 750 - 552 - 8, 232, 552}}, // pushed up
            {1, E::free, {300, 0, 232, 146}, {300, 58, 232, 146}},
        };
        for (const auto& [count, edge, current, frame] : rows)
            QCOMPARE(FloatShelf::frame(count, edge, current, QRect(100, 50, 1000, 700)), frame);
    }

    // Files are added once each, in order; the panel shows them, with the strip from two on, and
    // goes when the last one is taken off.
    void holdsFilesOnce()
    {
        FloatShelf shelf;
        QSignalSpy changes(&shelf, &FloatShelf::itemsChanged);
        shelf.show({});
        ShelfView* view = shelf.panel()->view();
        QVERIFY(shelf.panel()->isVisible() && view->showsHint() && view->strip()->isHidden());

        shelf.show({"/p/a.png", "/p/b.pdf", "/p/./a.png"});
        QCOMPARE(shelf.items(), (QStringList{"/p/a.png", "/p/b.pdf"}));
        QCOMPARE(changes.count(), 1);
        shelf.show({"/p/b.pdf"});
        QCOMPARE(changes.count(), 1);
        QCOMPARE(view->rows().size(), 2);
        QCOMPARE(view->rows()[1]->path(), QString("/p/b.pdf"));
        QVERIFY(!view->showsHint() && !view->strip()->isHidden());
        QCOMPARE(view->strip()->files(), shelf.items());

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

    // The panel is cut to its rounded card at every size, so no square corners show where no
    // compositor runs.
    void cutToItsCard()
    {
        FloatShelf shelf;
        shelf.show({});
        for (const QStringList& items : {QStringList(), QStringList{"/p/a.png", "/p/b.png", "/p/c.png"}}) {
            shelf.show(items);
            const QPainterPath shape = shelf.panel()->shape();
            const QRectF card(QPointF(), QSizeF(shelf.panel()->size()));
            QCOMPARE(shape.boundingRect(), card);
            QVERIFY(!shape.contains(QPointF(1, 1)) && !shape.contains(card.bottomRight() - QPointF(1, 1)));
        }
    }

    // A pin moves the panel to its edge; the same pin tapped again frees it where it stands. Each
    // pin says what it does in its tooltip.
    void pins()
    {
        FloatShelf shelf;
        shelf.show({"/p/a.png"});
        ShelfView* view = shelf.panel()->view();
        const QRectF header(0, 0, view->width(), ShelfPainter::headerHeight);
        for (const auto& [edge, tip] : {std::pair{FloatShelf::Edge::left, "Pin to the left edge"},
                                        std::pair{FloatShelf::Edge::right, "Pin to the right edge"}}) {
            const QPoint at = ShelfPainter::pinRect(header, edge).center().toPoint();
            QHelpEvent help(QEvent::ToolTip, at, view->mapToGlobal(at));
            QCoreApplication::sendEvent(view, &help);
            QTRY_VERIFY(QToolTip::isVisible());
            QCOMPARE(QToolTip::text(), QString(tip));
        }
        const int left = shelf.panel()->screen()->availableGeometry().x() + 8;
        shelf.togglePin(FloatShelf::Edge::right);
        QVERIFY(shelf.panel()->x() > left + 200);
        shelf.togglePin(FloatShelf::Edge::left);
        shelf.togglePin(FloatShelf::Edge::left);
        QVERIFY(shelf.edge() == FloatShelf::Edge::free && shelf.panel()->x() == left);
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

        std::unique_ptr<QMimeData> out(FileDrag::mimeData(shelf.items()));
        QCOMPARE(out->urls(),
                 (QList<QUrl>{QUrl::fromLocalFile("/p/one.png"), QUrl::fromLocalFile("/p/Folder")}));
        QCOMPARE(FileDrag::image(shelf.items()).size(), QSize(52, 52));
    }
};

QTEST_MAIN(FloatShelfTest)
#include "test_floatshelf.moc"
