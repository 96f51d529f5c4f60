// The crop rectangle's arithmetic and the overlay that drags it.

#include "toolkit/cropaspect.h"
#include "toolkit/cropoverlay.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include "../support/rects.h"

using CropGeometry::Handle;
using CropGeometry::Limits;
using Grip = std::optional<Handle>;

Q_DECLARE_METATYPE(Handle)
Q_DECLARE_METATYPE(std::optional<double>)

class CropOverlayTest : public QObject
{
    Q_OBJECT
  private slots:
    // Every aspect survives being stored by name; unknown names are refused.
    void aspects()
    {
        for (CropAspect a : allCropAspects())
            QCOMPARE(cropAspectFromRaw(rawValue(a)), a);
        QVERIFY(!cropAspectFromRaw("free") && !cropAspectFromRaw("1:2"));
        QCOMPARE(*ratio(CropAspect::tall), 0.5625);
    }

    void drags_data()
    {
        QTest::addColumn<QRectF>("start");
        QTest::addColumn<Handle>("handle");
        QTest::addColumn<QPointF>("by");
        QTest::addColumn<std::optional<double>>("aspect");
        QTest::addColumn<QSizeF>("pixels");
        QTest::addColumn<QRectF>("expected");
        const QRectF mid(0.2, 0.2, 0.6, 0.6);
        const std::optional<double> free, square = 1.0;
        const QSizeF any(1000, 1000), wide(2000, 1000);
        QTest::newRow("corner past the edge")
            << mid << Handle::tl << QPointF(-0.5, -0.5) << free << any << QRectF(0, 0, 0.8, 0.8);
        QTest::newRow("right edge pushes the left")
            << mid << Handle::r << QPointF(-0.7, 0) << free << any << QRectF(0.07, 0.2, 0.03, 0.6);
        QTest::newRow("move stops at the top")
            << QRectF(0.5, 0.5, 0.4, 0.4) << Handle::move << QPointF(0.3, -0.6) << free << any
            << QRectF(0.6, 0, 0.4, 0.4);
        QTest::newRow("ratio capped at the height") << QRectF(0.25, 0, 0.5, 1) << Handle::r << QPointF(0.1, 0)
                                                    << square << wide << QRectF(0.25, 0, 0.5, 1);
        QTest::newRow("top keeps centre and bottom")
            << QRectF(0.3, 0.4, 0.2, 0.4) << Handle::t << QPointF(0, -0.2) << square << wide
            << QRectF(0.25, 0.2, 0.3, 0.6);
        QTest::newRow("bottom-left keeps the top-right")
            << QRectF(0.4, 0.2, 0.2, 0.4) << Handle::bl << QPointF(-0.1, 0.3) << square << wide
            << QRectF(0.3, 0.2, 0.3, 0.6);
        QTest::newRow("left edge keeps its middle")
            << QRectF(0.4, 0.3, 0.2, 0.4) << Handle::l << QPointF(-0.1, 0) << square << wide
            << QRectF(0.3, 0.2, 0.3, 0.6);
        QTest::newRow("no pixel size yet: free")
            << mid << Handle::br << QPointF(0.1, 0) << square << QSizeF() << QRectF(0.2, 0.2, 0.7, 0.6);
    }
    void drags()
    {
        QFETCH(QRectF, start);
        QFETCH(Handle, handle);
        QFETCH(QPointF, by);
        QFETCH(std::optional<double>, aspect);
        QFETCH(QSizeF, pixels);
        QFETCH(QRectF, expected);
        const QRectF got =
            CropGeometry::adjusted(start, handle, by.x(), by.y(), Limits{pixels, aspect, 0.03});
        QVERIFY2(near(got, expected), qPrintable(text(got)));
    }

    // Whatever the drag, the rectangle stays in the picture and no side drops below the minimum.
    void dragsStayInside()
    {
        const Limits free{{800, 600}, std::nullopt, 0.03}, fixed{{800, 600}, 16.0 / 9, 0.03};
        for (int h = 0; h <= int(Handle::move); ++h) {
            for (const QPointF by :
                 {QPointF(-3, -3), QPointF(3, 3), QPointF(0.9, -0.9), QPointF(-0.4, 0.7)}) {
                for (const Limits& limits : {free, fixed}) {
                    const QRectF r =
                        CropGeometry::adjusted(QRectF(0.1, 0.2, 0.5, 0.4), Handle(h), by.x(), by.y(), limits);
                    QVERIFY2(r.left() >= -1e-12 && r.top() >= -1e-12 && r.right() <= 1 + 1e-12 &&
                                 r.bottom() <= 1 + 1e-12,
                             qPrintable(text(r)));
                    if (!limits.aspect)
                        QVERIFY(r.width() >= 0.03 - 1e-12 && r.height() >= 0.03 - 1e-12);
                    else if (Handle(h) != Handle::move)
                        QVERIFY2(std::abs(r.width() * 800 / (r.height() * 600) - 16.0 / 9) < 1e-9,
                                 qPrintable(text(r) + QString(" h%1 %2,%3").arg(h).arg(by.x()).arg(by.y())));
                }
            }
        }
    }

    void fits()
    {
        QVERIFY(near(CropGeometry::fit(1.0, {2000, 1000}, std::nullopt), QRectF(0.25, 0, 0.5, 1)));
        QVERIFY(near(CropGeometry::fit(16.0 / 9, {1000, 1000}, std::nullopt), QRectF(0, 0.21875, 1, 0.5625)));
        QVERIFY(
            near(CropGeometry::fit(1.0, {4000, 3000}, QRectF(0.9, 0, 0.1, 0.1)), QRectF(0.25, 0, 0.75, 1)));
        QVERIFY(near(CropGeometry::fit(1.0, {0, 0}, std::nullopt), QRectF(0, 0, 1, 1)));
        QVERIFY(near(CropGeometry::fit(std::nullopt, {800, 600}, QRectF(0.1, 0.1, 0.2, 0.2)),
                     QRectF(0, 0, 1, 1)));
    }

    // Grips win over the inside, and the last drawn grip over the others; outside, nothing.
    void hits()
    {
        const QRectF r(100, 100, 200, 100);
        QCOMPARE(CropGeometry::hit({100, 100}, r), Grip(Handle::tl));
        QCOMPARE(CropGeometry::hit({288, 150}, r), Grip(Handle::r));
        QCOMPARE(CropGeometry::hit({200, 150}, r), Grip(Handle::move));
        QCOMPARE(CropGeometry::hit({200, 105}, r), Grip(Handle::t));
        QCOMPARE(CropGeometry::hit({150, 105}, r), Grip(std::nullopt)); // the rim between grips and inside
        QCOMPARE(CropGeometry::hit({50, 50}, r), Grip(std::nullopt));
        // A tiny rectangle: its grips overlap and the left edge, drawn last, is in front.
        QCOMPARE(CropGeometry::hit({100, 100}, QRectF(100, 100, 4, 4)), Grip(Handle::l));
    }

    // A drag on the widget: press on the bottom-right grip, move, release; the next drag goes on
    // from there, and a drag that returns to where it began leaves the rectangle as it was.
    void dragOnTheOverlay()
    {
        CropOverlay overlay;
        overlay.cover(QRect(0, 0, 200, 100)); // the picture at 13 points in
        overlay.setLimits({{2000, 1000}, std::nullopt, 0.03});
        overlay.show();
        QSignalSpy edits(&overlay, &CropOverlay::rectEdited);
        const QPoint corner(13 + 200, 13 + 100);
        QTest::mousePress(&overlay, Qt::LeftButton, {}, corner);
        QTest::mouseMove(&overlay, corner - QPoint(100, 50));
        QTest::mouseRelease(&overlay, Qt::LeftButton, {}, corner - QPoint(100, 50));
        QVERIFY2(near(overlay.unitRect(), QRectF(0, 0, 0.5, 0.5)), qPrintable(text(overlay.unitRect())));
        QVERIFY(near(edits.last().at(0).toRectF(), QRectF(0, 0, 0.5, 0.5)));

        const QPoint inside(13 + 50, 13 + 25);
        QTest::mousePress(&overlay, Qt::LeftButton, {}, inside);
        QTest::mouseMove(&overlay, inside + QPoint(20, 10));
        QVERIFY(near(overlay.unitRect(), QRectF(0.1, 0.1, 0.5, 0.5)));
        QTest::mouseMove(&overlay, inside);
        QTest::mouseRelease(&overlay, Qt::LeftButton, {}, inside);
        QVERIFY(near(overlay.unitRect(), QRectF(0, 0, 0.5, 0.5)));
        // The dimmed outside takes no press: it is the window's to move.
        const int before = edits.count();
        QTest::mouseClick(&overlay, Qt::LeftButton, {}, QPoint(13 + 190, 13 + 90));
        QCOMPARE(edits.count(), before);
    }

    // Inside the rectangle the picture shows; outside it is dimmed; the outline is orange.
    void drawing()
    {
        QImage image(120, 120, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        CropOverlay::paint(painter, QRectF(10, 10, 100, 100), QRectF(0.5, 0.5, 0.4, 0.4));
        painter.end();
        QCOMPARE(image.pixel(80, 80), qRgb(255, 255, 255));
        QVERIFY(qRed(image.pixel(30, 30)) < 150);
        QCOMPARE(image.pixel(5, 5), qRgb(255, 255, 255)); // beside the picture
        const QRgb edge = image.pixel(60, 80);
        QVERIFY2(qRed(edge) > 200 && qGreen(edge) < 150 && qBlue(edge) < 100,
                 qPrintable(QString::number(edge, 16)));
    }
};

QTEST_MAIN(CropOverlayTest)
#include "test_cropoverlay.moc"
