#include "app/wheelgeometry.h"

#include <QLineF>
#include <QTest>
#include <cmath>
#include <numbers>

using namespace WheelGeometry;

constexpr double pi = std::numbers::pi;

class WheelGeometryTest : public QObject
{
    Q_OBJECT
  private slots:
    // Petal 0's outline runs: a side line, the outer corner, the outer arc's segments, a corner, a
    // side line, the inner corner, the inner arc's segments and the closing corner; each corner is
    // a cubic of three elements.
    void outline()
    {
        // petals, outer and inner arc segments, the corners' angles, and the closing corner's control
        // radius and the radius where it leaves the side edge (-1: not checked)
        const std::tuple<int, int, int, double, double, double, double> rows[] = {
            {8, 12, 12, 0.15, 0.126565, 49.0322, 55.2214},
            {6, 20, 17, 0.15, 0.173689, 49.3830, 57.9172},
            {12, 7, 8, 0.117631, 0.079441, -1, -1}, // the outer corner below its cap
        };
        for (const auto& [count, outer, inner, outerCorner, innerCorner, controlRadius, edgeRadius] : rows) {
            const QPainterPath path = petal(0, count);
            auto at = [&](int i, double r, double a) {
                return QLineF(path.elementAt(i), polar(r, a)).length() < 1e-3;
            };
            QCOMPARE(path.elementCount(), 15 + outer + inner);
            QCOMPARE(QPointF(path.elementAt(14 + outer + inner)), QPointF(path.elementAt(0))); // closed

            // The outer arc starts a corner past its limit; the inner arc a corner short of its own.
            const double a1 = pi / 2 - pi / count, a2 = pi / 2 + pi / count;
            QVERIFY(at(4, outerRadius, a1 + std::asin(2 / outerRadius) + outerCorner));
            QVERIFY(at(11 + outer, innerRadius, a2 - std::asin(2 / innerRadius) - innerCorner));
            if (controlRadius < 0) continue;
            const QPointF from = path.elementAt(11 + outer + inner), c1 = path.elementAt(12 + outer + inner);
            // The corner is quadratic; Qt keeps it as a cubic.
            QVERIFY(std::abs(QLineF({}, from + 1.5 * (c1 - from)).length() - controlRadius) < 1e-4);
            QVERIFY(std::abs(QLineF({}, path.elementAt(0)).length() - edgeRadius) < 1e-4);
        }
        QVERIFY(QLineF(petal(0, 8).elementAt(0), QPointF(19.2707, -51.7498)).length() < 1e-4);
    }

    void hits_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<int>("expected"); // -1: none
        QTest::newRow("three: petal 0 on the left") << 3 << polar(84, pi) << 0;
        QTest::newRow("three: petal 1 upper right") << 3 << polar(84, pi / 3) << 1;
        QTest::newRow("three: petal 2 lower right") << 3 << polar(84, -pi / 3) << 2;
        QTest::newRow("six: between 1 and 2") << 6 << QPointF(84, 0) << -1;
        QTest::newRow("six: angle pi/6") << 6 << QPointF(72.75, -42) << 1;
        QTest::newRow("inside the hole") << 8 << QPointF(0, -48.63) << -1;
        QTest::newRow("inner edge") << 8 << QPointF(0, -48.65) << 0;
        QTest::newRow("outer edge") << 8 << QPointF(0, -119.51) << 0;
        QTest::newRow("past the rim") << 8 << QPointF(0, -119.53) << -1;
        QTest::newRow("rounded outer corner") << 8 << polar(119.3, pi / 2 - pi / 8 + 0.02) << -1;
        QTest::newRow("one petal: the cut below") << 1 << QPointF(1, 84) << -1;
        QTest::newRow("one petal: beside the cut") << 1 << QPointF(3, 84) << 0;
        QTest::newRow("no petals") << 0 << QPointF(0, -84) << -1;
        QTest::newRow("not a number") << 8 << QPointF(std::nan(""), 10) << -1;
    }
    void hits()
    {
        QFETCH(int, count);
        QFETCH(QPointF, point);
        QTEST(hitTest(point, count).value_or(-1), "expected");
    }

    // What lights up is what is drawn: over a grid, a point inside a drawn petal hits that petal
    // and a hit lies inside it, except within a pixel of the outline. Petals never overlap.
    void hitTestAgreesWithOutline()
    {
        for (const int count : {1, 2, 3, 5, 6, 8, 12}) {
            QList<QPainterPath> petals;
            for (int i = 0; i < count; ++i)
                petals << petal(i, count);
            for (double y = -124; y <= 124; y += 1.7) {
                for (double x = -124; x <= 124; x += 1.7) {
                    const auto contains = [&](const QPainterPath& path) {
                        return path.contains(QPointF(x, y));
                    };
                    QVERIFY(std::ranges::count_if(petals, contains) <= 1);
                    // `count` stands for no petal.
                    const int drawn = int(std::ranges::find_if(petals, contains) - petals.begin());
                    const int hit = hitTest({x, y}, count).value_or(count), i = std::min(drawn, hit);
                    const QRectF pixel(x - 1, y - 1, 2, 2);
                    QVERIFY2(hit == drawn || (petals[i].intersects(pixel) && !petals[i].contains(pixel)),
                             qPrintable(QString::asprintf("%d: (%g, %g) drawn %d, hit %d", count, x, y, drawn,
                                                          hit)));
                }
            }
        }
    }
};

QTEST_GUILESS_MAIN(WheelGeometryTest)
#include "test_wheelgeometry.moc"
