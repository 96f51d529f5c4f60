#include "app/wheelcontroller.h"
#include "app/wheelgeometry.h"
#include "app/wheelmodel.h"
#include "app/wheelpainter.h"
#include "app/wheelview.h"
#include "core/catalog.h"
#include "core/settings.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QImage render(const WheelModel& model)
{
    QImage image(320, 320, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    WheelPainter::paint(painter, model, WheelFrame::resting(model));
    return image;
}

bool orangeColour(QRgb c)
{
    return qAlpha(c) > 200 && qRed(c) > 220 && qGreen(c) < 120 && qBlue(c) < 60;
}

bool paleColour(QRgb c)
{
    return qAlpha(c) > 150 && qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) > 200;
}

// Pixels across a petal's outer band, where the label's text may cover a few of them.
QList<QRgb> onPetal(const QImage& image, int index, int count)
{
    QList<QRgb> pixels;
    const double centre = WheelGeometry::centreAngle(index, count);
    for (double r = 100; r <= 114; r += 7)
        for (double da = -0.25; da <= 0.25; da += 0.05)
            pixels << image.pixel((QPointF(160, 160) + WheelGeometry::polar(r, centre + da)).toPoint());
    return pixels;
}

// Most of the probed pixels have the colour.
bool mostly(const QList<QRgb>& pixels, bool (*test)(QRgb))
{
    return std::count_if(pixels.begin(), pixels.end(), test) * 10 >= pixels.size() * 8;
}

bool orange(const QList<QRgb>& pixels)
{
    return mostly(pixels, orangeColour);
}

bool pale(const QList<QRgb>& pixels)
{
    return mostly(pixels, paleColour);
}

bool pale(QRgb c)
{
    return paleColour(c);
}

int opaquePixels(const QImage& image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += qAlpha(image.pixel(x, y)) > 0;
    return n;
}

void setActions(WheelModel& model)
{
    model.setMode(WheelMode::actions);
    model.setItems(Catalog::items(WheelMode::actions, {}));
    model.setBloom(true);
}

} // namespace

class WheelViewTest : public QObject
{
    Q_OBJECT
private slots:
    void highlightedPetalIsOrange()
    {
        WheelModel model;
        setActions(model);
        model.setHighlighted(2);
        const QImage image = render(model);
        QVERIFY(orange(onPetal(image, 2, 6)));
        for (const int other : {0, 1, 3, 4, 5}) QVERIFY(pale(onPetal(image, other, 6)));

        // A stale index lights nothing and the centre falls back to the resting text.
        model.setHighlighted(9);
        model.setRestingText(QStringLiteral("3 items"));
        const QImage stale = render(model);
        for (int i = 0; i < 6; ++i) QVERIFY(!orange(onPetal(stale, i, 6)));
        QCOMPARE(model.centerText().value_or(QString()), QStringLiteral("3 items"));
    }

    void viewFollowsTheModel()
    {
        WheelModel model;
        setActions(model);
        WheelView view(&model);
        QCOMPARE(view.size(), QSize(320, 320));
        QVERIFY(!orange(onPetal(view.grab().toImage(), 4, 6)));
        model.setHighlighted(4);
        QTRY_VERIFY(orange(onPetal(view.grab().toImage(), 4, 6)));
        model.setHighlighted(std::nullopt);
        QTRY_VERIFY(pale(onPetal(view.grab().toImage(), 4, 6)));
    }

    void closedBloomDrawsNothing()
    {
        WheelModel model;
        setActions(model);
        model.setBloom(false);
        QCOMPARE(opaquePixels(render(model)), 0);

        // Opening grows the wheel from nothing to its full size.
        WheelView view(&model);
        QCOMPARE(view.frame().bloom, 0.0);
        model.setBloom(true);
        QTRY_COMPARE(view.frame().bloom, 1.0);
        QVERIFY(pale(onPetal(view.grab().toImage(), 0, 6)));
    }

    void centreCapsule()
    {
        WheelModel model;
        setActions(model);
        QCOMPARE(qAlpha(render(model).pixel(160, 160)), 0); // no text: the hole shows through
        model.setRestingText(QStringLiteral("2.3 MB"));
        QVERIFY(pale(render(model).pixel(160, 150)));
    }

    void emptyWheelShowsMessage()
    {
        WheelModel model;
        model.setBloom(true);
        const QImage image = render(model);
        QVERIFY(pale(image.pixel(160, 160 - 30)));
        QCOMPARE(qAlpha(image.pixel(160, 160 - 100)), 0); // no ring, no petals
    }

    void emptyMessage_data()
    {
        QTest::addColumn<WheelMode>("mode");
        QTest::addColumn<QString>("expected");
        QTest::newRow("conversions") << WheelMode::conversions
                                     << "No conversions for this format. Tap Control for file actions.";
        QTest::newRow("tools") << WheelMode::tools
                               << "No editing tools for this format. Tap Shift to convert or Control for file actions.";
        QTest::newRow("actions") << WheelMode::actions << "";
    }
    void emptyMessage()
    {
        QFETCH(WheelMode, mode);
        QFETCH(QString, expected);
        WheelModel model;
        model.setMode(mode);
        QCOMPARE(model.emptyMessage(), expected);
    }

    void settersSignalOnlyChanges()
    {
        WheelModel model;
        QSignalSpy highlighted(&model, &WheelModel::highlightedChanged);
        QSignalSpy bloom(&model, &WheelModel::bloomChanged);
        model.setHighlighted(1);
        model.setHighlighted(1);
        model.setHighlighted(std::nullopt);
        model.setBloom(false);
        QCOMPARE(highlighted.count(), 2);
        QCOMPARE(bloom.count(), 0);
    }

    void restingText_data()
    {
        QTest::addColumn<QStringList>("names"); // created in a scratch folder; "/" ends a folder
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nothing") << QStringList{} << qint64(0) << "";
        QTest::newRow("three files") << QStringList{"a.png", "b.png", "c.png"} << qint64(10) << "3 items";
        QTest::newRow("plain folder") << QStringList{"Photos/"} << qint64(0) << "Folder";
        QTest::newRow("megabytes") << QStringList{"clip.mov"} << qint64(2'300'000) << "2.3 MB";
        QTest::newRow("kilobytes") << QStringList{"note.txt"} << qint64(310'000) << "310 KB";
        QTest::newRow("a few bytes") << QStringList{"tiny.txt"} << qint64(12) << "1 KB";
        QTest::newRow("gigabytes") << QStringList{"big.iso"} << qint64(1'250'000'000) << "1.25 GB";
        QTest::newRow("missing") << QStringList{"-gone.pdf"} << qint64(0) << "Zero KB";
    }
    void restingText()
    {
        QFETCH(QStringList, names);
        QFETCH(qint64, size);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QStringList paths;
        for (const QString& name : names) {
            if (name.endsWith('/')) {
                QDir(dir.path()).mkdir(name);
            } else if (!name.startsWith('-')) {
                QFile file(dir.filePath(name));
                QVERIFY(file.open(QIODevice::WriteOnly));
                QVERIFY(file.resize(size));
            }
            paths << dir.filePath(name);
        }
        QCOMPARE(WheelController::restingText(paths), expected);
    }

    void packageFolderShowsItsSize()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("Notes.rtfd"));
        const QString text = WheelController::restingText({dir.filePath("Notes.rtfd")});
        QVERIFY(text.endsWith(" KB"));
    }
};

QTEST_MAIN(WheelViewTest)
#include "test_wheelview.moc"
