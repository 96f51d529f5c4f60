#include "app/appicon.h"
#include "app/wheelgeometry.h"
#include "cli/icon.h"
#include "cli/renderwheel.h"
#include "core/converterror.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

namespace {

// A pixel of the 360 × 360 rendering at a point given relative to the wheel centre.
QRgb wheelPixel(const QImage& image, QPointF fromCentre)
{
    const QPointF p = QPointF(180, 180) + fromCentre;
    return image.pixel(int(p.x()), int(p.y()));
}

bool orange(QRgb c)
{
    return qRed(c) > 220 && qGreen(c) < 150 && qBlue(c) < 90;
}

bool pale(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) > 180 && qBlue(c) > 160;
}

} // namespace

class RenderWheelTest : public QObject
{
    Q_OBJECT
private slots:
    void rendersWheelOverGradient()
    {
        QTemporaryDir dir;
        const QString plain = CLI::renderWheel(WheelMode::actions, dir.filePath("plain.png"), {}, std::nullopt);
        const QString lit = CLI::renderWheel(WheelMode::actions, dir.filePath("lit.png"), {}, 1);
        const QImage a(plain), b(lit);
        QCOMPARE(a.size(), QSize(360, 360));
        QCOMPARE(b.size(), QSize(360, 360));

        // The gradient fills the corners: warm orange at the top left, redder at the bottom right.
        const QRgb topLeft = a.pixel(1, 1), bottomRight = a.pixel(358, 358);
        QVERIFY(qRed(topLeft) > 240 && qGreen(topLeft) > 140 && qBlue(topLeft) < 80);
        QVERIFY(qGreen(bottomRight) < 110 && qBlue(bottomRight) > 60);

        // Petal 1 of six sits at π/6; probed between its label and its rim.
        const QPointF onPetal1 = WheelGeometry::polar(110, WheelGeometry::centreAngle(1, 6));
        const QPointF onPetal4 = WheelGeometry::polar(110, WheelGeometry::centreAngle(4, 6));
        QVERIFY(pale(wheelPixel(a, onPetal1)));
        QVERIFY(orange(wheelPixel(b, onPetal1)));
        QVERIFY(pale(wheelPixel(b, onPetal4)));
    }

    void emptyWheelStillRenders()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath("nothing.xyz");
        const QString out = CLI::renderWheel(WheelMode::conversions, dir.filePath("empty.png"), {missing}, 3);
        const QImage image(out);
        QCOMPARE(image.size(), QSize(360, 360));
        QVERIFY(pale(image.pixel(180, 180))); // the message bubble
    }

    void takeHighlight_data()
    {
        QTest::addColumn<QStringList>("rest");
        QTest::addColumn<int>("expected"); // -100: none
        QTest::addColumn<QStringList>("left");

        QTest::newRow("among the files") << QStringList{"a", "--highlight", "2", "b"} << 2 << QStringList{"a", "b"};
        QTest::newRow("not a number") << QStringList{"a", "--highlight", "x", "b"} << -100 << QStringList{"a", "b"};
        QTest::newRow("last stays a file")
            << QStringList{"a", "b", "--highlight"} << -100 << QStringList{"a", "b", "--highlight"};
        QTest::newRow("plus sign") << QStringList{"--highlight", "+3", "a"} << 3 << QStringList{"a"};
        QTest::newRow("minus sign") << QStringList{"--highlight", "-1"} << -1 << QStringList{};
        QTest::newRow("first occurrence only")
            << QStringList{"--highlight", "1", "--highlight", "2"} << 1 << QStringList{"--highlight", "2"};
        QTest::newRow("overflow") << QStringList{"--highlight", "99999999999", "a"} << -100 << QStringList{"a"};
        QTest::newRow("space") << QStringList{"--highlight", " 2"} << -100 << QStringList{};
        QTest::newRow("fraction") << QStringList{"--highlight", "2.0"} << -100 << QStringList{};
        QTest::newRow("hex") << QStringList{"--highlight", "0x2"} << -100 << QStringList{};
        QTest::newRow("other case") << QStringList{"--HIGHLIGHT", "2"} << -100 << QStringList{"--HIGHLIGHT", "2"};
    }
    void takeHighlight()
    {
        QFETCH(QStringList, rest);
        QFETCH(int, expected);
        QFETCH(QStringList, left);
        QCOMPARE(CLI::takeHighlight(rest).value_or(-100), expected);
        QCOMPARE(rest, left);
    }

    void iconSize_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected"); // -1: none
        QTest::newRow("integer") << "512" << 512.0;
        QTest::newRow("fraction") << "64.7" << 64.7;
        QTest::newRow("exponent") << "1e2" << 100.0;
        QTest::newRow("word") << "abc" << -1.0;
        QTest::newRow("empty") << "" << -1.0;
        QTest::newRow("space") << " 5" << -1.0;
        QTest::newRow("unit") << "5px" << -1.0;
        QTest::newRow("comma") << "6,4" << -1.0;
    }
    void iconSize()
    {
        QFETCH(QString, text);
        QFETCH(double, expected);
        QCOMPARE(CLI::iconSize(text).value_or(-1.0), expected);
    }

    void iconIsDrawnAtItsSize()
    {
        QTemporaryDir dir;
        const QImage icon(CLI::renderIcon(dir.filePath("icon.png"), 64.7));
        QCOMPARE(icon.size(), QSize(64, 64));
        const double w = 64.7, r = 0.3 * w;
        const QPointF c(w / 2, w / 2);
        const auto at = [&](double angle, double distance) {
            const QPointF p = c + distance * QPointF(std::cos(angle), std::sin(angle));
            return icon.pixel(int(p.x()), int(p.y()));
        };
        QCOMPARE(qAlpha(icon.pixel(0, 0)), 0); // outside the tile
        const QRgb petal0 = at(-M_PI / 2, 0.75 * r), petal2 = at(4 * M_PI / 7 - M_PI / 2, 0.75 * r);
        QVERIFY(qRed(petal0) > 240 && qGreen(petal0) > 230 && qBlue(petal0) > 220);
        QVERIFY(qRed(petal2) > 240 && qGreen(petal2) < 110 && qBlue(petal2) < 40);
        QVERIFY(qBlue(at(0, 0)) > 230); // the white hub

        // A taken name is never replaced.
        QFile::remove(dir.filePath("icon 2.png"));
        const QString second = CLI::renderIcon(dir.filePath("icon.png"), 16);
        QCOMPARE(QFileInfo(second).fileName(), QStringLiteral("icon 2.png"));
        QCOMPARE(QImage(dir.filePath("icon.png")).size(), QSize(64, 64));
    }

    void badIconSizesAreRefused_data()
    {
        QTest::addColumn<double>("size");
        QTest::newRow("zero") << 0.0;
        QTest::newRow("negative") << -5.0;
        QTest::newRow("below a pixel") << 0.5;
        QTest::newRow("huge") << 1e6;
        QTest::newRow("infinite") << double(INFINITY);
        QTest::newRow("not a number") << double(NAN);
    }
    void badIconSizesAreRefused()
    {
        QFETCH(double, size);
        QTemporaryDir dir;
        QVERIFY_THROWS_EXCEPTION(ConvertError, CLI::renderIcon(dir.filePath("icon.png"), size));
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    void trayGlyph()
    {
        const QImage glyph = AppIcon::menuBarImage(2);
        QCOMPARE(glyph.size(), QSize(36, 36));
        QCOMPARE(glyph.deviceIndependentSize(), QSizeF(18, 18));
        const auto alpha = [&](double x, double y) { return qAlpha(glyph.pixel(int(x * 2), int(y * 2))); };
        QVERIFY(alpha(9, 9) > 200);       // hub
        QVERIFY(alpha(9, 9 - 4.6) > 200); // first spoke, straight up
        QVERIFY(alpha(9, 9 + 4.6) < 60);  // no spoke straight down (seven spokes)
        QVERIFY(alpha(9, 1.5) > 100);     // ring
        QCOMPARE(alpha(0.2, 0.2), 0);
    }
};

QTEST_MAIN(RenderWheelTest)
#include "test_renderwheel.moc"
