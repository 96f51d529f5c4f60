// The box stage: what a drag draws (cut to the picture, the least size dropped), what a click
// picks, nothing without a picture, and how committed and draft boxes are painted.

#include "toolkit/boxstage.h"
#include "toolkit/loadingview.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include "../support/rects.h"

namespace {

const QColor green(0, 200, 0), blue(0, 0, 255);

// A 200 × 100 green picture on a 420 × 220 stage with 10 points of padding: it is shown at
// 400 × 200 from (10, 10), so a point p of the stage is ((p.x - 10) / 400, (p.y - 10) / 200).
struct Bench
{
    BoxStage stage{10, 0.01};
    QSignalSpy drawn{&stage, &BoxStage::drawn};
    QSignalSpy clicked{&stage, &BoxStage::clicked};

    explicit Bench(bool withPicture = true)
    {
        stage.resize(420, 220);
        QImage picture(200, 100, QImage::Format_RGB32);
        picture.fill(green);
        if (withPicture) stage.setPicture(picture);
        stage.setLook({blue, {}});
        stage.show();
    }

    void drag(QPoint from, QPoint to, Qt::MouseButton button = Qt::LeftButton, bool release = true)
    {
        QTest::mousePress(&stage, button, {}, from);
        QTest::mouseMove(&stage, (from + to) / 2);
        QTest::mouseMove(&stage, to);
        if (release) QTest::mouseRelease(&stage, button, {}, to);
    }
};

bool orange(QColor c)
{
    return c.red() > 150 && c.green() < 150 && c.blue() < 100;
}

} // namespace

class BoxStageTest : public QObject
{
    Q_OBJECT
  private slots:
    void drawing_data()
    {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<QRectF>("box"); // null when nothing is drawn
        QTest::newRow("backwards") << QPoint(250, 90) << QPoint(90, 30) << QRectF(0.2, 0.1, 0.4, 0.3);
        QTest::newRow("out past the bottom right")
            << QPoint(210, 110) << QPoint(600, 400) << QRectF(0.5, 0.5, 0.5, 0.5);
        QTest::newRow("out past the top left")
            << QPoint(50, 50) << QPoint(-20, -20) << QRectF(0, 0, 0.1, 0.2);
        QTest::newRow("under 4 points") << QPoint(100, 100) << QPoint(102, 102) << QRectF();
        QTest::newRow("under the least side high") << QPoint(100, 100) << QPoint(200, 101) << QRectF();
        QTest::newRow("just over it")
            << QPoint(100, 100) << QPoint(200, 103) << QRectF(0.225, 0.45, 0.25, 0.015);
        QTest::newRow("pressed in the padding") << QPoint(5, 50) << QPoint(100, 100) << QRectF();
    }
    void drawing()
    {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(QRectF, box);
        Bench bench;
        bench.drag(from, to);
        QCOMPARE(bench.drawn.size(), box.isNull() ? 0 : 1);
        if (!box.isNull()) {
            const QRectF got = bench.drawn[0][0].toRectF();
            QVERIFY2(near(got, box), qPrintable(text(got)));
        }
        QVERIFY(!bench.stage.draft() && bench.clicked.isEmpty());
        bench.drag(from, to, Qt::RightButton);
        QCOMPARE(bench.drawn.size(), box.isNull() ? 0 : 1);
    }

    // A click asks for the topmost box under it and nothing elsewhere; a drag from a box draws.
    void clicking()
    {
        Bench bench;
        bench.stage.setBoxes({{0.1, 0.1, 0.5, 0.5}, {0.3, 0.3, 0.5, 0.5}});
        QTest::mouseClick(&bench.stage, Qt::LeftButton, {}, QPoint(170, 90)); // (0.4, 0.4)
        QTest::mouseClick(&bench.stage, Qt::LeftButton, {}, QPoint(70, 40));  // (0.15, 0.15)
        QTest::mouseClick(&bench.stage, Qt::LeftButton, {}, QPoint(400, 30)); // (0.975, 0.1)
        QCOMPARE(bench.clicked.size(), 2);
        QCOMPARE(bench.clicked[0][0].toInt(), 1);
        QCOMPARE(bench.clicked[1][0].toInt(), 0);
        bench.drag({170, 90}, {250, 150});
        QCOMPARE(bench.clicked.size(), 2);
        QCOMPARE(bench.drawn.size(), 1);
    }

    // Without a picture the spinner stands in and the mouse does nothing; a null picture later
    // brings the spinner back.
    void withoutAPicture()
    {
        Bench bench(false);
        QVERIFY(bench.stage.pictureRect().isEmpty() && bench.stage.loading()->isVisible());
        bench.stage.setBoxes({{0, 0, 1, 1}});
        bench.drag({20, 20}, {300, 200});
        QTest::mouseClick(&bench.stage, Qt::LeftButton, {}, QPoint(100, 100));
        QVERIFY(bench.drawn.isEmpty() && bench.clicked.isEmpty());
        QImage picture(10, 10, QImage::Format_RGB32);
        bench.stage.setPicture(picture);
        QVERIFY(!bench.stage.loading()->isVisible());
        bench.stage.setPicture({});
        QVERIFY(bench.stage.loading()->isVisible());
    }

    // On the stage a committed box is filled in the look's colour over the picture, the draft is
    // an outline only; a committed box carries the look's symbol, the draft never does; the
    // committed outline is solid, the draft's dashed.
    void painting()
    {
        Bench bench;
        bench.stage.setBoxes({{0.1, 0.1, 0.3, 0.3}});
        bench.drag({250, 110}, {370, 190}, Qt::LeftButton, false);
        QVERIFY(bench.stage.draft());
        const QImage shown = bench.stage.grab().toImage();
        QCOMPARE(shown.pixelColor(110, 50), blue);   // inside the box
        QCOMPARE(shown.pixelColor(300, 50), green);  // on the picture, outside every box
        QCOMPARE(shown.pixelColor(310, 150), green); // inside the draft
        QVERIFY(orange(shown.pixelColor(49, 50)));   // the box's left edge

        const BoxStage::Look look{blue, QStringLiteral("drop")};
        for (bool filled : {true, false}) {
            QImage image(100, 100, QImage::Format_ARGB32_Premultiplied);
            image.fill(green);
            QPainter painter(&image);
            BoxStage::paintBox(painter, {0.2, 0.2, 0.6, 0.6}, QSizeF(100, 100), look, filled);
            painter.end();
            int edge = 0, white = 0;
            for (int x = 22; x < 79; ++x)
                edge += orange(image.pixelColor(x, 19));
            for (int y = 44; y < 56; ++y)
                for (int x = 44; x < 56; ++x)
                    white += image.pixelColor(x, y).lightness() > 200;
            QCOMPARE(edge == 57, filled);
            QVERIFY2(edge > 20, qPrintable(QString::number(edge)));
            QCOMPARE(white > 0, filled);
        }
    }
};

QTEST_MAIN(BoxStageTest)
#include "test_boxstage.moc"
