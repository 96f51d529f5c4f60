#include "cli/renderwheel.h"

#include "app/wheelgeometry.h"
#include "app/wheelmodel.h"
#include "app/wheelview.h"
#include "cli/icon.h"
#include "cli/snapshot.h"
#include "core/catalog.h"
#include "core/converterror.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using namespace WheelGeometry;

class RenderWheelTest : public QObject
{
    Q_OBJECT
  private slots:
    void rendersTheIconAndTheWheel()
    {
        // Icon sizes that give no bitmap, or one of hundreds of megabytes, are refused and write nothing.
        QTemporaryDir dir;
        for (const double size : {0.0, -5.0, 0.5, 1e6, qInf(), qQNaN()})
            QVERIFY_THROWS_EXCEPTION(ConvertError, CLI::renderIcon(dir.filePath("icon.png"), size));
        QVERIFY(QDir(dir.path()).isEmpty());
        for (const char* text : {"abc", "", " 5", "5px", "6,4"})
            QVERIFY(!CLI::iconSize(text));
        QCOMPARE(QImage(CLI::renderIcon(dir.filePath("icon.png"), 64.7)).size(), QSize(64, 64));
        // A taken name is never replaced.
        QCOMPARE(CLI::renderIcon(dir.filePath("icon.png"), 16), dir.filePath("icon 2.png"));
        QCOMPARE(QImage(dir.filePath("icon.png")).size(), QSize(64, 64));

        const QImage plain(CLI::renderWheel(WheelMode::actions, dir.filePath("plain.png"), {}, std::nullopt));
        const QImage lit(CLI::renderWheel(WheelMode::actions, dir.filePath("lit.png"), {}, 1));
        // Probed between the label and the rim: petal 1 turns orange, the opposite petal 4 stays pale.
        const QPoint c(180, 180), one = c + polar(117, centreAngle(1, 6)).toPoint(), four = 2 * c - one;
        const auto pale = [](QRgb c) { return qRed(c) > 200 && qGreen(c) > 180 && qBlue(c) > 160; };
        QVERIFY(pale(plain.pixel(one)) && pale(lit.pixel(four)));
        QVERIFY(qRed(lit.pixel(one)) > 220 && qGreen(lit.pixel(one)) < 150 && qBlue(lit.pixel(one)) < 90);
        // A wheel without petals still renders, with its message, whatever the highlight asks for.
        QVERIFY(pale(
            QImage(CLI::renderWheel(WheelMode::conversions, dir.filePath("e.png"), {"/x"}, 3)).pixel(c)));
    }

    // A view whose bloom has only begun is drawn once it has fully opened.
    void snapshotWaitsForTheAnimation()
    {
        QTemporaryDir dir;
        WheelModel model;
        model.setMode(WheelMode::actions);
        model.setItems(Catalog::items(WheelMode::actions, {}));
        WheelView view(&model);
        model.setBloom(true);
        const QImage image(CLI::snapshot(view, QSize(int(side), int(side)), dir.filePath("bloom.png")));
        // Near the rim of the top petal, which an unopened wheel leaves clear.
        const QRgb rim =
            image.pixel(QPoint(int(side / 2), int(side / 2)) + polar(115, centreAngle(0, 6)).toPoint());
        QVERIFY2(qAlpha(rim) > 200, qPrintable(QString::number(qAlpha(rim))));
    }

    // What is left of the arguments goes on as the wheel's files.
    void takeHighlight_data()
    {
        QTest::addColumn<QStringList>("rest");
        QTest::addColumn<QString>("result"); // highlight | files left
        const QString h = "--highlight";
        QTest::newRow("among the files") << QStringList{"a", h, "2", "b"} << "2 | a b";
        QTest::newRow("not a number") << QStringList{"a", h, " 2", "b"} << "none | a b";
        QTest::newRow("trailing: a file") << QStringList{"a", h} << "none | a --highlight";
        QTest::newRow("first only") << QStringList{h, "-1", h, "+2"} << "-1 | --highlight +2";
        QTest::newRow("overflow") << QStringList{h, "99999999999"} << "none | ";
    }

    void takeHighlight()
    {
        QFETCH(QStringList, rest);
        const std::optional<int> highlight = CLI::takeHighlight(rest);
        QTEST((highlight ? QString::number(*highlight) : "none") + " | " + rest.join(' '), "result");
    }
};

QTEST_MAIN(RenderWheelTest)
#include "test_renderwheel.moc"
