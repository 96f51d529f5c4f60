#include "cli/renderwheel.h"

#include "app/wheelgeometry.h"
#include "cli/icon.h"
#include "core/converterror.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using namespace WheelGeometry;

class RenderWheelTest : public QObject
{
    Q_OBJECT
private slots:
    void rendersTheWheel()
    {
        QTemporaryDir dir;
        const QImage plain(CLI::renderWheel(WheelMode::actions, dir.filePath("plain.png"), {}, std::nullopt));
        const QImage lit(CLI::renderWheel(WheelMode::actions, dir.filePath("lit.png"), {}, 1));
        QCOMPARE(plain.size(), QSize(360, 360));
        // Probed between the label and the rim: petal 1 turns orange, the opposite petal 4 stays as it was.
        const QPoint c(180, 180), one = c + polar(117, centreAngle(1, 6)).toPoint(), four = 2 * c - one;
        const auto pale = [](QRgb c) { return qRed(c) > 200 && qGreen(c) > 180 && qBlue(c) > 160; };
        QVERIFY(pale(plain.pixel(one)) && pale(plain.pixel(four)));
        QVERIFY(qRed(lit.pixel(one)) > 220 && qGreen(lit.pixel(one)) < 150 && qBlue(lit.pixel(one)) < 90);
        QCOMPARE(lit.pixel(four), plain.pixel(four));

        // A wheel without petals still renders, with its message.
        const QString empty = CLI::renderWheel(WheelMode::conversions, dir.filePath("e.png"), {dir.filePath("x")}, 3);
        QVERIFY(pale(QImage(empty).pixel(180, 180)));
    }

    void takeHighlight_data()
    {
        QTest::addColumn<QStringList>("rest");
        QTest::addColumn<int>("expected"); // -100: none
        QTest::addColumn<QStringList>("left");
        const QString h = "--highlight";
        QTest::newRow("among the files") << QStringList{"a", h, "2", "b"} << 2 << QStringList{"a", "b"};
        QTest::newRow("not a number") << QStringList{"a", h, "x", "b"} << -100 << QStringList{"a", "b"};
        QTest::newRow("trailing: a file") << QStringList{"a", h} << -100 << QStringList{"a", h};
        QTest::newRow("signs") << QStringList{h, "+3", "a"} << 3 << QStringList{"a"};
        QTest::newRow("first only") << QStringList{h, "-1", h, "2"} << -1 << QStringList{h, "2"};
        QTest::newRow("overflow") << QStringList{h, "99999999999"} << -100 << QStringList{};
        QTest::newRow("space") << QStringList{h, " 2"} << -100 << QStringList{};
    }
    void takeHighlight()
    {
        QFETCH(QStringList, rest);
        QTEST(CLI::takeHighlight(rest).value_or(-100), "expected");
        QTEST(rest, "left");
    }

    void icon()
    {
        // Sizes that give no bitmap, or one of hundreds of megabytes, are refused and write nothing.
        QTemporaryDir dir;
        for (const double size : {0.0, -5.0, 0.5, 1e6, qInf(), qQNaN()})
            QVERIFY_THROWS_EXCEPTION(ConvertError, CLI::renderIcon(dir.filePath("icon.png"), size));
        QVERIFY(QDir(dir.path()).isEmpty());

        for (const char* text : {"abc", "", " 5", "5px", "6,4"}) QVERIFY(!CLI::iconSize(text));
        QCOMPARE(QImage(CLI::renderIcon(dir.filePath("icon.png"), 64.7)).size(), QSize(64, 64));
        // A taken name is never replaced.
        QCOMPARE(CLI::renderIcon(dir.filePath("icon.png"), 16), dir.filePath("icon 2.png"));
        QCOMPARE(QImage(dir.filePath("icon.png")).size(), QSize(64, 64));
    }
};

QTEST_MAIN(RenderWheelTest)
#include "test_renderwheel.moc"
