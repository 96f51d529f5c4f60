// The pictures the command line renders in-process: the HUD panels, the icon and the wheel.

#include "cli/gui/icon.h"
#include "cli/gui/renderhud.h"
#include "cli/gui/rendersettings.h"
#include "cli/gui/renderwheel.h"
#include "cli/gui/snapshot.h"
#include "core/catalog.h"
#include "core/converterror.h"
#include "toolkit/wheel/wheelgeometry.h"
#include "toolkit/wheel/wheelmodel.h"
#include "toolkit/wheel/wheelview.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using namespace WheelGeometry;

namespace {

bool isOrange(QRgb c)
{
    return qRed(c) >= 220 && qGreen(c) >= 60 && qGreen(c) <= 150 && qBlue(c) <= 90;
}

// The x of the rightmost orange pixel of row y from fromX on, or -1.
int orangeEnd(const QImage& image, int y, int fromX = 0)
{
    int end = -1;
    for (int x = fromX; x < image.width(); ++x)
        if (isOrange(image.pixel(x, y))) end = x;
    return end;
}

bool pale(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) > 180 && qBlue(c) > 160;
}

} // namespace

class RenderTest : public QObject
{
    Q_OBJECT
  private slots:
    // A taken name is never replaced: the panels go next to it.
    void hudBesideAnExistingFile()
    {
        QTemporaryDir dir;
        QFile existing(dir.filePath("hud.png"));
        QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write("mine") == 4);
        existing.close();
        const QString out = CLI::renderHud(existing.fileName());
        QCOMPARE(out, dir.filePath("hud 2.png"));
        QVERIFY(existing.open(QIODevice::ReadOnly));
        QCOMPARE(existing.readAll(), QByteArray("mine"));
        const QImage image(out);
        QCOMPARE(image.size(), QSize(328, 186));

        // Panels sit at (14, 14) and (14, 98); their bars run 14 in from each side, 15 above the bottom.
        const int runningBar = 14 + 61, finishedBar = 98 + 61, barLeft = 28, barWidth = 272;
        const int running = orangeEnd(image, runningBar);
        QVERIFY2(std::abs(running - (barLeft + int(0.42 * barWidth))) <= 3,
                 qPrintable(QString::number(running)));
        QVERIFY(isOrange(image.pixel(barLeft + 2, runningBar)));
        QVERIFY(orangeEnd(image, finishedBar) >= barLeft + barWidth - 3);
        // Only the finished panel carries the check mark at its top right.
        QVERIFY(orangeEnd(image, 98 + 20, 250) >= 0);
        QCOMPARE(orangeEnd(image, 14 + 20, 250), -1);
        // The backdrop shows around the panels.
        QVERIFY(qRed(image.pixel(2, 2)) > 240 && qAlpha(image.pixel(2, 2)) == 255);
    }

    // The settings window, 540 × 680, on the backdrop with 10 around it; its "Done" is at the
    // bottom right of the window.
    void settings()
    {
        QTemporaryDir dir;
        const QImage image(CLI::renderSettings(dir.filePath("settings.png")));
        QCOMPARE(image.size(), QSize(560, 700));
        QVERIFY(qRed(image.pixel(3, 3)) > 240 && qAlpha(image.pixel(3, 3)) == 255);
        const int footer = 700 - 10 - 27;
        QVERIFY(isOrange(image.pixel(560 - 10 - 40, footer)));
        QVERIFY(!isOrange(image.pixel(280, footer)));
    }

    void iconAndWheel()
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
        QVERIFY(pale(plain.pixel(one)) && pale(lit.pixel(four)));
        QVERIFY(isOrange(lit.pixel(one)));
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

    // What is left of the arguments goes on as the wheel's files: "highlight | files left".
    void takeHighlight()
    {
        const QString h = "--highlight";
        const QList<std::pair<QStringList, QString>> cases{{{"a", h, "2", "b"}, "2 | a b"},
                                                           {{"a", h, " 2", "b"}, "none | a b"},
                                                           {{"a", h}, "none | a --highlight"},
                                                           {{h, "-1", h, "+2"}, "-1 | --highlight +2"},
                                                           {{h, "99999999999"}, "none | "}};
        for (auto [rest, result] : cases) {
            const std::optional<int> highlight = CLI::takeHighlight(rest);
            QCOMPARE((highlight ? QString::number(*highlight) : "none") + " | " + rest.join(' '), result);
        }
    }
};

QTEST_MAIN(RenderTest)
#include "test_render.moc"
