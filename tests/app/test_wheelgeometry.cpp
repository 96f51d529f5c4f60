#include "app/wheelgeometry.h"

#include <QLineF>
#include <QPolygonF>
#include <QTest>
#include <cmath>
#include <numbers>

using namespace WheelGeometry;

namespace {

constexpr double pi = std::numbers::pi;

// The outline as drawn: straight segments ('L') and quadratic corners ('Q', with the control
// point recovered from Qt's cubic form).
struct Segment
{
    char kind;
    QPointF end;
    QPointF control;
};

QList<Segment> segments(const QPainterPath& path)
{
    QList<Segment> out;
    QPointF current;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            current = e;
        } else if (e.isLineTo()) {
            out.append({'L', e, {}});
            current = e;
        } else if (e.isCurveTo()) {
            const QPointF c1 = e, end = path.elementAt(i + 2);
            out.append({'Q', end, current + 1.5 * (c1 - current)});
            current = end;
            i += 2;
        }
    }
    return out;
}

double radius(QPointF p)
{
    return std::hypot(p.x(), p.y());
}

double angle(QPointF p)
{
    return std::atan2(-p.y(), p.x());
}

// Distance from a point to the outline, flattened.
double distanceToOutline(const QPainterPath& path, QPointF p)
{
    const QPolygonF polygon = path.toFillPolygon();
    double best = 1e9;
    for (int i = 0; i + 1 < polygon.size(); ++i) {
        const QPointF a = polygon[i], b = polygon[i + 1], ab = b - a;
        const double len2 = QPointF::dotProduct(ab, ab);
        const double t = len2 > 0 ? std::clamp(QPointF::dotProduct(p - a, ab) / len2, 0.0, 1.0) : 0;
        best = std::min(best, QLineF(p, a + t * ab).length());
    }
    return best;
}

} // namespace

class WheelGeometryTest : public QObject
{
    Q_OBJECT
private slots:
    void outline_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("outerSegments");
        QTest::addColumn<int>("innerSegments");
        QTest::addColumn<double>("outerCorner");
        QTest::addColumn<double>("innerCorner");
        QTest::addColumn<double>("controlRadius");
        QTest::addColumn<double>("edgeRadius");
        QTest::newRow("eight") << 8 << 12 << 12 << 0.15 << 0.126565 << 49.0322 << 55.2214;
        QTest::newRow("six, the actions") << 6 << 20 << 17 << 0.15 << 0.173689 << 49.3830 << 57.9172;
        QTest::newRow("twelve, below the cap") << 12 << 7 << 8 << 0.117631 << 0.079441 << -1.0 << -1.0;
    }
    void outline()
    {
        QFETCH(int, count);
        QFETCH(int, outerSegments);
        QFETCH(int, innerSegments);
        QFETCH(double, outerCorner);
        QFETCH(double, innerCorner);
        QFETCH(double, controlRadius);
        QFETCH(double, edgeRadius);

        const QList<Segment> s = segments(petal(0, count));
        // line, corner, outer arc, corner, line, corner, inner arc, corner
        QCOMPARE(s.size(), 6 + outerSegments + innerSegments);
        QCOMPARE(s[0].kind, 'L');
        QCOMPARE(s[1].kind, 'Q');
        for (int k = 0; k < outerSegments; ++k) QCOMPARE(s[2 + k].kind, 'L');
        QCOMPARE(s[2 + outerSegments].kind, 'Q');
        QCOMPARE(s[3 + outerSegments].kind, 'L');
        QCOMPARE(s[4 + outerSegments].kind, 'Q');
        for (int k = 0; k < innerSegments; ++k) QCOMPARE(s[5 + outerSegments + k].kind, 'L');
        QCOMPARE(s.last().kind, 'Q');

        const double slot = 2 * pi / count, a1 = pi / 2 - slot / 2, a2 = pi / 2 + slot / 2;
        const double gO = std::asin(2 / outerRadius), gI = std::asin(2 / innerRadius);
        // The outer arc begins cO past its limit; the inner arc begins cI short of its own.
        QVERIFY(std::abs(angle(s[1].end) - (a1 + gO + outerCorner)) < 1e-5);
        QVERIFY(std::abs(radius(s[1].end) - outerRadius) < 1e-9);
        QVERIFY(std::abs(angle(s[4 + outerSegments].end) - (a2 - gI - innerCorner)) < 1e-5);
        QVERIFY(std::abs(radius(s[4 + outerSegments].end) - innerRadius) < 1e-9);
        if (controlRadius > 0) {
            QVERIFY(std::abs(radius(s.last().control) - controlRadius) < 1e-4);
            QVERIFY(std::abs(radius(s.last().end) - edgeRadius) < 1e-4);
        }
        // Closed: the last corner ends where the outline started.
        QVERIFY(QLineF(s.last().end, petal(0, count).elementAt(0)).length() < 1e-9);
    }

    void startPoint()
    {
        const QPointF start = petal(0, 8).elementAt(0);
        QVERIFY(std::abs(start.x() - 19.2707) < 1e-4);
        QVERIFY(std::abs(start.y() - -51.7498) < 1e-4);
    }

    void hitTest_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<int>("expected"); // -1: none

        QTest::newRow("three: petal 0 on the left") << 3 << polar(84, pi) << 0;
        QTest::newRow("three: petal 1 upper right") << 3 << polar(84, pi / 3) << 1;
        QTest::newRow("three: petal 2 lower right") << 3 << polar(84, -pi / 3) << 2;
        QTest::newRow("eight: top is petal 0") << 8 << QPointF(0, -84) << 0;
        QTest::newRow("eight: right is petal 2") << 8 << QPointF(84, 0) << 2;
        QTest::newRow("six: between 1 and 2") << 6 << QPointF(84, 0) << -1;
        QTest::newRow("six: angle pi/6") << 6 << QPointF(72.75, -42) << 1;
        QTest::newRow("inside the hole") << 8 << QPointF(0, -48.63) << -1;
        QTest::newRow("just past the rim") << 8 << QPointF(0, -119.53) << -1;
        QTest::newRow("inner edge") << 8 << QPointF(0, -48.65) << 0;
        QTest::newRow("outer edge") << 8 << QPointF(0, -119.51) << 0;
        QTest::newRow("centre") << 8 << QPointF(0, 0) << -1;
        QTest::newRow("far outside") << 8 << QPointF(300, 300) << -1;
        QTest::newRow("one petal: top") << 1 << QPointF(0, -84) << 0;
        QTest::newRow("one petal: the cut below") << 1 << QPointF(1, 84) << -1;
        QTest::newRow("one petal: beside the cut") << 1 << QPointF(3, 84) << 0;
        QTest::newRow("no petals") << 0 << QPointF(0, -84) << -1;
        QTest::newRow("negative count") << -2 << QPointF(0, -84) << -1;
        QTest::newRow("not a number") << 8 << QPointF(std::nan(""), 10) << -1;
        QTest::newRow("eight: rounded outer corner") << 8 << polar(119.3, pi / 2 - pi / 8 + 0.02) << -1;
    }
    void hitTest()
    {
        QFETCH(int, count);
        QFETCH(QPointF, point);
        QFETCH(int, expected);
        const std::optional<int> hit = WheelGeometry::hitTest(point, count);
        QCOMPARE(hit.value_or(-1), expected);
    }

    // What lights up is what is drawn: a grid point inside a drawn petal hits that petal, and a
    // hit lies inside it, except within a pixel of the outline.
    void hitTestAgreesWithOutline_data()
    {
        QTest::addColumn<int>("count");
        for (const int n : {1, 2, 3, 5, 6, 8, 12})
            QTest::newRow(qPrintable(QString::number(n))) << n;
    }
    void hitTestAgreesWithOutline()
    {
        QFETCH(int, count);
        QList<QPainterPath> petals;
        for (int i = 0; i < count; ++i) petals << petal(i, count);
        int inside = 0;
        for (double y = -124; y <= 124; y += 1.7) {
            for (double x = -124; x <= 124; x += 1.7) {
                const QPointF p(x, y);
                const int hit = WheelGeometry::hitTest(p, count).value_or(-1);
                int containing = -1;
                for (int i = 0; i < count; ++i) {
                    if (!petals[i].contains(p)) continue;
                    QVERIFY2(containing < 0, "petals overlap");
                    containing = i;
                }
                if (containing == hit) {
                    inside += hit >= 0;
                    continue;
                }
                const int petalIndex = containing >= 0 ? containing : hit;
                QVERIFY2(distanceToOutline(petals[petalIndex], p) <= 1.0,
                         qPrintable(QStringLiteral("(%1, %2): drawn %3, hit %4").arg(x).arg(y).arg(containing).arg(hit)));
            }
        }
        QVERIFY(inside > 1000);
    }
};

QTEST_GUILESS_MAIN(WheelGeometryTest)
#include "test_wheelgeometry.moc"
