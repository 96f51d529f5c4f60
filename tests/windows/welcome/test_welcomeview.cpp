// The welcome window: its sample is made once, whole or not at all, and remade when broken; the
// steps name the chosen keys and follow them; the window renders with the demo wheel's first
// petal lit; the sample drags out as the file itself.

#include "core/settings.h"
#include "toolkit/filedrag.h"
#include "toolkit/primarybutton.h"
#include "toolkit/toolwindow.h"
#include "toolkit/wheel/wheelgeometry.h"
#include "windows/welcome/demowheel.h"
#include "windows/welcome/draggablefile.h"
#include "windows/welcome/welcomeview.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <sys/mount.h>

#include "../../support/files.h"

namespace {

// Noise, so that its PNG is far larger than a page of a tiny disk.
QImage picture()
{
    QImage image(512, 512, QImage::Format_RGB32);
    QRandomGenerator random(5);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, random.generate() | 0xff000000u);
    return image;
}

bool isOrange(QRgb c)
{
    return qRed(c) >= 220 && qGreen(c) >= 60 && qGreen(c) <= 150 && qBlue(c) <= 90;
}

bool pale(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) > 180 && qBlue(c) > 160;
}

QStringList labelTexts(const QWidget& view)
{
    QStringList texts;
    for (const QLabel* label : view.findChildren<QLabel*>())
        texts << label->text();
    return texts;
}

} // namespace

class WelcomeViewTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_data;

    QString folder() const { return m_data.filePath("Tolvane"); }
    QString sample() const { return folder() + "/Tolvane Sample.png"; }

  private slots:
    void initTestCase() { qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path())); }

    void init()
    {
        Settings::store()->clear();
        Settings::shared().reload();
        QDir(folder()).removeRecursively();
    }

    // Made once: a second call returns the same file without drawing again or touching it. A file
    // there that no longer decodes (cut short by a crash of an older build) is made again.
    void sampleIsMadeOnceAndRemadeWhenBroken()
    {
        int drawn = 0;
        const auto draw = [&] {
            ++drawn;
            return picture();
        };
        QCOMPARE(WelcomeView::makeSample(draw), std::optional(sample()));
        QCOMPARE(drawn, 1);
        QCOMPARE(QImage(sample()).size(), QSize(512, 512));
        const QDateTime made = QDateTime::currentDateTime().addSecs(-3600);
        QFile file(sample());
        QVERIFY(file.open(QIODevice::ReadWrite) && file.setFileTime(made, QFileDevice::FileModificationTime));
        file.close();

        QCOMPARE(WelcomeView::makeSample(draw), std::optional(sample()));
        QCOMPARE(drawn, 1);
        QCOMPARE(QFileInfo(sample()).lastModified(), made);

        const QByteArray whole = readAll(sample());
        writeFile(sample(), whole.left(whole.size() / 3));
        QCOMPARE(WelcomeView::makeSample(draw), std::optional(sample()));
        QCOMPARE(drawn, 2);
        QCOMPARE(readAll(sample()), whole);
        QCOMPARE(QDir(folder()).entryList(QDir::Files | QDir::Hidden), QStringList{"Tolvane Sample.png"});
    }

    // Nothing to draw, or a disk too full for the picture: no sample, and nothing left behind,
    // hidden files included, so the next start tries again.
    void failedSampleLeavesNothing()
    {
        QCOMPARE(WelcomeView::makeSample([] { return QImage(); }), std::nullopt);
        QVERIFY(!QFileInfo::exists(sample()));

        QVERIFY(QDir().mkpath(folder()));
        if (::mount("tmpfs", QFile::encodeName(folder()).constData(), "tmpfs", 0, "size=4k") != 0)
            QSKIP("mounting a tmpfs needs root");
        const auto unmount = qScopeGuard([&] { ::umount(QFile::encodeName(folder()).constData()); });
        QCOMPARE(WelcomeView::makeSample(picture), std::nullopt);
        QCOMPARE(QDir(folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
    }

    // The steps and the try-it line name the keys as this desktop does, with their glyphs, and
    // follow the settings; without a sample there is no try-it box.
    void stepsNameTheChosenKeys()
    {
        WelcomeView bare({}, std::nullopt);
        QVERIFY(!bare.findChild<DraggableFile*>());
        QVERIFY(!labelTexts(bare).join('\n').contains("Try it"));

        WelcomeView view({}, WelcomeView::makeSample(picture));
        QVERIFY(labelTexts(view).contains("Drag a file, tap Shift, drop on a format."));
        Settings::shared().setConvertKey(ModifierKey::control);
        Settings::shared().setToolsKey(ModifierKey::shift);
        Settings::shared().setActionsKey(ModifierKey::command);
        const QStringList texts = labelTexts(view);
        for (const char* shown :
             {"⌃", "⇧", "❖", "Drag a file, tap Control, drop on a format.",
              "Tap Shift for compress, crop, trim, split, merge…",
              "Tap Super for Send, Float, Copy, Move, Copy Path, Terminal.",
              "Try it: drag this picture onto your desktop or into a folder, and tap Control on the way."})
            QVERIFY2(texts.contains(QString::fromUtf8(shown)), shown);
    }

    // 640 × 520 offscreen: the demo wheel on its gradient, png lit and the other petals pale; the
    // sample's tile carries the file as a URL, its space encoded.
    void rendersWithTheDemoWheelAndDragsTheSample()
    {
        const std::optional<QString> made = WelcomeView::makeSample(picture);
        QVERIFY(made);
        ToolWindow window(new WelcomeView({}, made), QSize(640, 520));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QImage image(window.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        window.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        QCOMPARE(image.size(), QSize(640, 520));

        auto* demo = window.findChild<DemoWheel*>();
        QVERIFY(demo);
        const QPointF centre = QPointF(demo->mapTo(&window, demo->rect().center())) + QPointF(0.5, 0.5);
        const auto petal = [&](int index) {
            return (centre +
                    DemoWheel::scale * WheelGeometry::polar(117, WheelGeometry::centreAngle(index, 8)))
                .toPoint();
        };
        QVERIFY2(isOrange(image.pixel(petal(0))), qPrintable(QColor(image.pixel(petal(0))).name()));
        for (int i : {2, 4, 6})
            QVERIFY2(pale(image.pixel(petal(i))), qPrintable(QString::number(i)));
        // The gradient fills the column's corner, not the window's own light wash.
        const QPoint corner = demo->mapTo(&window, QPoint(demo->width() - 14, demo->height() - 14));
        QVERIFY2(qBlue(image.pixel(corner)) > qGreen(image.pixel(corner)),
                 qPrintable(QColor(image.pixel(corner)).name()));

        auto* tile = window.findChild<DraggableFile*>();
        QVERIFY(tile && tile->isVisible());
        QCOMPARE(tile->path(), *made);
        const std::unique_ptr<QMimeData> data(FileDrag::mimeData({tile->path()}));
        QCOMPARE(data->data("text/uri-list"),
                 "file://" + QFile::encodeName(folder()) + "/Tolvane%20Sample.png\r\n");
    }
};

QTEST_MAIN(WelcomeViewTest)
#include "test_welcomeview.moc"
