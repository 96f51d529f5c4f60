#include "cli/renderhud.h"

#include "core/converterror.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

class RenderHudTest : public QObject
{
    Q_OBJECT

    static bool isOrange(QRgb c) { return qRed(c) >= 240 && qGreen(c) >= 60 && qGreen(c) <= 105 && qBlue(c) <= 30; }

    // The x of the rightmost orange pixel of row y, or -1.
    static int orangeEnd(const QImage& image, int y, int fromX, int toX)
    {
        int end = -1;
        for (int x = fromX; x < toX; ++x)
            if (isOrange(image.pixel(x, y))) end = x;
        return end;
    }

private slots:
    void rendersBothPanels()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("hud.png"));
        QCOMPARE(CLI::renderHud(out), out);
        QImage image(out);
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), QSize(328, 186));

        // Panels sit at (14, 14) and (14, 98); their bars run 14 in from each side, 15 above the bottom.
        const int runningBar = 14 + 61, finishedBar = 98 + 61;
        const int barLeft = 28, barWidth = 272;
        const int running = orangeEnd(image, runningBar, 0, 328);
        QVERIFY2(std::abs(running - (barLeft + int(0.42 * barWidth))) <= 3, qPrintable(QString::number(running)));
        QVERIFY(isOrange(image.pixel(barLeft + 2, runningBar)));
        QVERIFY(orangeEnd(image, finishedBar, 0, 328) >= barLeft + barWidth - 3);
        // Only the finished panel carries the check mark at its top right.
        QVERIFY(orangeEnd(image, 98 + 20, 250, 328) >= 0);
        QCOMPARE(orangeEnd(image, 14 + 20, 250, 328), -1);
        // The backdrop shows around the panels.
        const QRgb corner = image.pixel(2, 2);
        QVERIFY(qRed(corner) > 240 && qAlpha(corner) == 255);
    }

    void neverReplacesAFile()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("hud.png"));
        QFile existing(out);
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("mine");
        existing.close();

        const QString written = CLI::renderHud(out);
        QCOMPARE(written, dir.filePath(QStringLiteral("hud 2.png")));
        QVERIFY(existing.open(QIODevice::ReadOnly));
        QCOMPARE(existing.readAll(), QByteArray("mine"));
        QCOMPARE(QImage(written).size(), QSize(328, 186));
    }

    void unwritableFolderThrows()
    {
        QTemporaryDir dir;
        bool thrown = false;
        try {
            CLI::renderHud(dir.filePath(QStringLiteral("missing/hud.png")));
        } catch (const ConvertError& e) {
            thrown = e.kind() == ConvertError::Kind::failed && !e.message().isEmpty();
        }
        QVERIFY(thrown);
    }
};

QTEST_MAIN(RenderHudTest)
#include "test_renderhud.moc"
