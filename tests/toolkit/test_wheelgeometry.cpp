#include "toolkit/wheel/wheelgeometry.h"

#include <QTest>
#include <cmath>
#include <numbers>

using namespace WheelGeometry;

constexpr double pi = std::numbers::pi;

class WheelGeometryTest : public QObject
{
    Q_OBJECT
  private slots:
    // Petal 0 starts on the left and the others follow clockwise; the hole, the rim, the gaps and
    // the rounded corners hit nothing.
    void hits()
    {
        const std::tuple<int, QPointF, int> rows[] = {
            {3, polar(84, pi), 0},
            {3, polar(84, pi / 3), 1},
            {3, polar(84, -pi / 3), 2},
            {6, QPointF(84, 0), -1},                       // between petals 1 and 2
            {6, QPointF(72.75, -42), 1},                   // at pi/6
            {8, QPointF(0, -48.63), -1},                   // in the hole
            {8, QPointF(0, -48.65), 0},                    // on the inner edge
            {8, QPointF(0, -119.51), 0},                   // on the outer edge
            {8, QPointF(0, -119.53), -1},                  // past the rim
            {8, polar(119.3, pi / 2 - pi / 8 + 0.02), -1}, // the rounded outer corner
            {1, QPointF(1, 84), -1},                       // one petal: the cut below
            {1, QPointF(3, 84), 0},                        // beside the cut
            {0, QPointF(0, -84), -1},
            {8, QPointF(std::nan(""), 10), -1},
        };
        for (const auto& [count, point, expected] : rows)
            QVERIFY2(hitTest(point, count).value_or(-1) == expected,
                     qPrintable(QString::asprintf("%d petals, (%g, %g)", count, point.x(), point.y())));
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
