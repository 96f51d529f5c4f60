#include "cli/renderhud.h"

#include "core/converterror.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

class RenderHudTest : public QObject
{
    Q_OBJECT

    static bool isOrange(QRgb c)
    {
        return qRed(c) >= 240 && qGreen(c) >= 60 && qGreen(c) <= 105 && qBlue(c) <= 30;
    }

    // The x of the rightmost orange pixel of row y from fromX on, or -1.
    static int orangeEnd(const QImage& image, int y, int fromX = 0)
    {
        int end = -1;
        for (int x = fromX; x < image.width(); ++x)
            if (isOrange(image.pixel(x, y))) end = x;
        return end;
    }

  private slots:
    // A taken name is never replaced: the panels go next to it.
    void rendersBothPanelsBesideAnExistingFile()
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
        QVERIFY_THROWS_EXCEPTION(ConvertError, CLI::renderHud(dir.filePath("missing/hud.png")));
    }
};

QTEST_MAIN(RenderHudTest)
#include "test_renderhud.moc"
