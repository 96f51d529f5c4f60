// The Add Background tool: the frame's geometry, what lands on which pixel, the canvas bound,
// and the window from its settings to "With Background" copies on disk.

#include "core/converterror.h"
#include "core/job.h"
#include "engines/image/imageprops.h"
#include "toolkit/imagesource.h"
#include "toolkit/loadingview.h"
#include "toolkit/previewrunner.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/segmented.h"
#include "toolkit/sliderrow.h"
#include "toolkit/swatch.h"
#include "toolkit/toolchrome.h"
#include "tools/image/frame/addbackground.h"
#include "tools/image/frame/addbackgroundview.h"
#include "tools/image/frame/backdroptile.h"
#include "tools/image/frame/framerenderer.h"
#include "tools/image/shared/canvaslimit.h"
#include "tools/image/shared/previewpane.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include "../../../support/profiledpictures.h"
#include "../../../support/toolharness.h"

namespace {

QImage filled(QSize size, const QColor& colour, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(size, format);
    image.fill(colour);
    return image;
}

// Channels within a few levels: antialiasing and gradients land between whole values.
bool near(QRgb a, const QColor& b, int tolerance = 3)
{
    return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance &&
           std::abs(qBlue(a) - b.blue()) <= tolerance;
}

QString rgb(QRgb c)
{
    return QStringLiteral("(%1, %2, %3)").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c));
}

FrameSettings plain(double padding, double corners, double shadow, FrameRatio ratio = FrameRatio::auto_)
{
    return {Backdrop::solid(1), padding, corners, shadow, ratio};
}

} // namespace

class FrameTest : public QObject
{
    Q_OBJECT
  private slots:
    void cleanup()
    {
        for (ToolWindow* w : ToolWindows::openWindows())
            w->close();
    }

    // The worked examples: padding, then a ratio that only grows the canvas, the picture centred.
    void canvasSizes_data()
    {
        QTest::addColumn<QSizeF>("picture");
        QTest::addColumn<double>("padding");
        QTest::addColumn<QString>("ratio");
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<QPointF>("at");
        const double wide = 700 * 16.0 / 9;
        QTest::newRow("default") << QSizeF(1000, 500) << 0.1 << "Auto" << QSize(1200, 700)
                                 << QPointF(100, 100);
        QTest::newRow("16:9 grows the width")
            << QSizeF(1000, 500) << 0.1 << "16:9" << QSize(1244, 700) << QPointF((wide - 1000) / 2, 100);
        QTest::newRow("1:1 grows the height")
            << QSizeF(1000, 500) << 0.1 << "1:1" << QSize(1200, 1200) << QPointF(100, 350);
        QTest::newRow("4:5 of a square")
            << QSizeF(500, 500) << 0.1 << "4:5" << QSize(600, 750) << QPointF(50, 125);
        QTest::newRow("already 16:9")
            << QSizeF(1600, 900) << 0.0 << "16:9" << QSize(1600, 900) << QPointF(0, 0);
        // 1256.89 pixels wide: the last column, only partly inside the canvas, is painted too.
        QTest::newRow("width rounded up") << QSizeF(1000, 507) << 0.1 << "16:9" << QSize(1257, 707)
                                          << QPointF((707 * 16.0 / 9 - 1000) / 2, 100);
        QTest::newRow("no padding") << QSizeF(333, 777) << 0.0 << "Auto" << QSize(333, 777) << QPointF(0, 0);
    }

    void canvasSizes()
    {
        QFETCH(QSizeF, picture);
        QFETCH(double, padding);
        QFETCH(QString, ratio);
        QFETCH(QSize, pixels);
        QFETCH(QPointF, at);
        const FrameSettings s = plain(padding, 0.03, 0, *FrameRatios::fromRaw(ratio));
        const FrameRenderer::Layout layout = FrameRenderer::layout(picture, s);
        QVERIFY(std::abs(layout.picture.x() - at.x()) < 1e-9 && std::abs(layout.picture.y() - at.y()) < 1e-9);
        QCOMPARE(layout.picture.size(), picture);
        const QImage framed = FrameRenderer::render(filled(picture.toSize(), Qt::red), s);
        QCOMPARE(framed.size(), pixels);
        QVERIFY(!framed.hasAlphaChannel());
        const int r = pixels.width() - 1, b = pixels.height() - 1;
        for (const QPoint corner : {QPoint(0, 0), QPoint(r, 0), QPoint(0, b), QPoint(r, b)})
            QVERIFY2(near(framed.pixel(corner), Backdrop::solidColour(1)),
                     qPrintable(rgb(framed.pixel(corner))));
    }

    void settingsAndTables()
    {
        const FrameRenderer::Layout layout = FrameRenderer::layout(QSizeF(1000, 500), FrameSettings());
        QCOMPARE(layout.radius, 15.0);
        QCOMPARE(layout.blur, 20.0);
        QCOMPARE(layout.shadowOffset, QPointF(0, -7)); // toward the top edge
        QCOMPARE(layout.shadowAlpha, 0.33);
        QCOMPARE(FrameRenderer::layout(QSizeF(1000, 500), plain(0.1, 0.25, 0)).radius, 125.0);
        QCOMPARE(FrameRenderer::layout(QSizeF(1000, 500), plain(0.1, 0.03, 0)).blur, 0.0);

        QCOMPARE(Backdrop::gradients().size(), 9);
        QCOMPARE(Backdrop::solids().size(), 16);
        QCOMPARE(Backdrop::solidColour(15), QColor(Qt::black));
        QCOMPARE(Backdrop::solidColour(16), QColor(Qt::white));
        QVERIFY(Backdrop::custom(Qt::red) == Backdrop::custom(QColor(255, 0, 0)));
        QVERIFY(!(Backdrop::gradient(1) == Backdrop::solid(1)));
        QVERIFY(Backdrop::image("/a.png") == Backdrop::image("/a.png"));
        QCOMPARE(FrameRatios::fromRaw("16:9"), FrameRatio::wide);
        QCOMPARE(FrameRatios::fromRaw("2:1"), std::nullopt);
    }

    // Backdrop, rounded corners, the shadow and its white fill, probed pixel by pixel on a red
    // 200 × 100 picture framed with a padding of 50 (it sits at 50, 50).
    void pixelProbes()
    {
        const QImage red = filled({200, 100}, Qt::red);
        const QColor yellow = Backdrop::solidColour(1);
        const QImage square = FrameRenderer::render(red, plain(0.25, 0, 0));
        QCOMPARE(square.size(), QSize(300, 200));
        QVERIFY(near(square.pixel(0, 0), yellow));
        QVERIFY2(near(square.pixel(50, 50), Qt::red), qPrintable(rgb(square.pixel(50, 50)))); // square corner
        QVERIFY(near(square.pixel(49, 120), yellow));

        // Radius 25 (a quarter of 100): the corner pixel is backdrop, a pixel 25 in is picture.
        const QImage round = FrameRenderer::render(red, plain(0.25, 0.25, 0));
        QVERIFY2(near(round.pixel(51, 51), yellow), qPrintable(rgb(round.pixel(51, 51))));
        QVERIFY(near(round.pixel(75, 52), Qt::red));
        QVERIFY(near(round.pixel(51, 75), Qt::red));

        // The shadow darkens the backdrop around the picture, more above it than below.
        const QImage shadowed = FrameRenderer::render(red, plain(0.25, 0, 1));
        const QRgb above = shadowed.pixel(150, 46), below = shadowed.pixel(150, 153);
        QVERIFY2(qGreen(above) < yellow.green() - 40, qPrintable(rgb(above)));
        QVERIFY2(qGreen(above) < qGreen(below), qPrintable(rgb(above) + rgb(below)));
        QVERIFY(near(shadowed.pixel(2, 2), yellow, 8)); // far from the picture
        QVERIFY(near(square.pixel(150, 46), yellow));

        // A canvas too large to blur at full size has its shadow blurred smaller and laid over
        // it at the same place: compare with the same frame at a quarter of the size.
        const QImage large = FrameRenderer::render(filled({2000, 1000}, Qt::red), plain(0.25, 0, 1));
        const QImage quarter = FrameRenderer::render(filled({500, 250}, Qt::red), plain(0.25, 0, 1));
        for (const QPoint at : {QPoint(375, 120), QPoint(375, 380), QPoint(120, 250), QPoint(100, 100)}) {
            const int big = qGreen(large.pixel(at * 4)), small = qGreen(quarter.pixel(at));
            QVERIFY2(std::abs(big - small) <= 12,
                     qPrintable(QStringLiteral("%1: %2 against %3").arg(at.x()).arg(big).arg(small)));
        }
        QVERIFY(qGreen(quarter.pixel(375, 120)) < yellow.green() - 40);

        // Transparent parts of the picture: white over the shadow's fill, else the backdrop.
        const QImage clear = filled({200, 100}, Qt::transparent, QImage::Format_ARGB32_Premultiplied);
        const QImage onWhite = FrameRenderer::render(clear, plain(0.25, 0, 0.4));
        const QImage onBackdrop = FrameRenderer::render(clear, plain(0.25, 0, 0));
        QVERIFY(!onWhite.hasAlphaChannel() && !onBackdrop.hasAlphaChannel());
        QVERIFY(near(onWhite.pixel(150, 100), Qt::white));
        QVERIFY(near(onBackdrop.pixel(150, 100), yellow));

        // The gradient runs from its first stop at the top left to its last at the bottom right.
        FrameSettings gradient = plain(0.25, 0, 0);
        gradient.backdrop = Backdrop::gradient(6);
        const QImage g = FrameRenderer::render(red, gradient);
        QVERIFY(near(g.pixel(0, 0), QColor(79, 172, 254), 4));
        QVERIFY(near(g.pixel(299, 199), QColor(0, 242, 254), 4));
        gradient.backdrop = Backdrop::gradient(42); // past the table: gradient 0
        QVERIFY(near(FrameRenderer::render(red, gradient).pixel(0, 0), QColor(255, 201, 60), 4));
        gradient.backdrop = Backdrop::custom(QColor(10, 20, 30));
        QVERIFY(near(FrameRenderer::render(red, gradient).pixel(0, 0), QColor(10, 20, 30)));
    }

    // A picture backdrop fills the canvas keeping its shape, centred: cut equally on both sides.
    void pictureBackdrop()
    {
        // 400 × 100: red, a green band over 190 … 210, blue. On the 200 × 200 canvas it is
        // scaled by 2 and only its middle 100 columns show, the band over 80 … 120.
        QImage background = filled({400, 100}, Qt::red);
        {
            QPainter p(&background);
            p.fillRect(190, 0, 20, 100, Qt::green);
            p.fillRect(210, 0, 190, 100, Qt::blue);
        }
        FrameSettings s = plain(0.5, 0, 0);
        s.backdrop = Backdrop::image("/elsewhere/bg.png");
        const QImage framed = FrameRenderer::render(filled({100, 100}, Qt::black), s, background);
        QCOMPARE(framed.size(), QSize(200, 200));
        for (auto [x, colour] :
             {std::pair{2, Qt::red}, {75, Qt::red}, {100, Qt::green}, {125, Qt::blue}, {197, Qt::blue}})
            QVERIFY2(near(framed.pixel(x, 10), colour, 8), qPrintable(QString::number(x)));
        QVERIFY(near(FrameRenderer::render(filled({100, 100}, Qt::black), s).pixel(5, 5), Qt::white));
    }

    // A canvas past 32,768 pixels a side or 250 megapixels is refused, by the renderer and,
    // with its size named, by the save, which leaves nothing behind.
    void canvasBound()
    {
        QVERIFY(CanvasLimit::fits({32768, 7629}));
        QVERIFY(!CanvasLimit::fits({32769, 1}));
        QVERIFY(CanvasLimit::fits({20000, 12500}));
        QVERIFY(!CanvasLimit::fits({20000, 12501}));
        QVERIFY(!CanvasLimit::fits({std::nan(""), 10}));

        // 100 × 20,000 padded by half its longer side: 20,100 × 40,000.
        const QImage tall = filled({100, 20000}, Qt::red);
        QVERIFY(FrameRenderer::render(tall, plain(0.5, 0, 0)).isNull());
        QTemporaryDir dir;
        const QString file = dir.filePath("tall.png");
        QVERIFY(tall.save(file));
        Job job("", "", 0);
        try {
            AddBackground::frameFile(file, plain(0.5, 0, 0), QImage(), job, [](double) {});
            QFAIL("a canvas past the bound was made");
        } catch (const ConvertError& e) {
            QVERIFY2(e.description().contains("20100 × 40000"), qPrintable(e.description()));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"tall.png"});

        // The window says so in place of its preview, which would have fitted, and shows the
        // preview again once the padding is brought back within the bound.
        ToolHarness harness;
        auto* view = harness.open<AddBackgroundView>(ToolID::frameImage, {file});
        QVERIFY(view);
        QVERIFY(view->pane()->loading()->error() == std::nullopt && !view->pane()->image().isNull());
        FrameSettings padded = view->settings();
        padded.padding = 0.5;
        view->setSettings(padded);
        QTRY_VERIFY_WITH_TIMEOUT(view->pane()->image().isNull(), 30000);
        QVERIFY(view->pane()->loading()->error().value_or("").contains("20100 × 40000"));
        padded.padding = 0.2;
        view->setSettings(padded);
        QTRY_VERIFY_WITH_TIMEOUT(!view->pane()->image().isNull(), 30000);
        QCOMPARE(view->pane()->loading()->error(), std::nullopt);
    }

    // The window: pixel texts of the full picture, swatches, ratio and Reset, a cancelled and a
    // chosen background picture.
    void theWindow()
    {
        QTemporaryDir dir;
        QVERIFY(filled({4000, 3000}, Qt::darkGreen).save(dir.filePath("field.png")));
        QImage background = filled({300, 300}, Qt::blue);
        QVERIFY(background.save(dir.filePath("bg.png")));
        ToolHarness harness;
        auto* view = harness.open<AddBackgroundView>(ToolID::frameImage, {dir.filePath("field.png")});
        QVERIFY(view && view->primaryButton()->isEnabled());
        QCOMPARE(view->paddingRow()->valueText(), QString("400 px"));
        QCOMPARE(view->cornersRow()->valueText(), QString("90 px"));
        QCOMPARE(view->shadowRow()->valueText(), QString("80 px"));
        QCOMPARE(view->pane()->image().size(), QSize(1080, 855)); // the 900 × 675 preview, padded by 90
        QVERIFY(view->gradientSwatches()[0]->isSelected());

        // Every swatch and tile shows whole inside the window's card at its fixed size.
        QWidget* window = view->window();
        QCOMPARE(window->size(), QSize(560, 720));
        QWidget* card = view->chrome()->content();
        const QRect cardRect(card->mapTo(window, QPoint()), card->size());
        QList<QWidget*> chips{view->pictureTile()};
        for (Swatch* swatch : view->gradientSwatches() + view->solidSwatches())
            chips << swatch;
        for (QWidget* chip : chips) {
            const QRect rect(chip->mapTo(window, QPoint()), chip->size());
            QVERIFY2(
                cardRect.contains(rect) && chip->visibleRegion() == QRegion(chip->rect()),
                qPrintable(
                    QString("%1,%2 %3×%4").arg(rect.x()).arg(rect.y()).arg(rect.width()).arg(rect.height())));
        }

        view->solidSwatches()[3]->click();
        QVERIFY(view->solidSwatches()[3]->isSelected() && !view->gradientSwatches()[0]->isSelected());
        QTRY_VERIFY_WITH_TIMEOUT(near(view->pane()->image().pixel(0, 0), Backdrop::solidColour(3)), 30000);
        emit view->ratios()->edited(1);
        QTRY_COMPARE_WITH_TIMEOUT(view->pane()->image().size(), QSize(1080, 1080), 30000);

        view->setPicker([](QWidget*) { return QString(); });
        view->pickImage();
        QCOMPARE(view->settings().backdrop, Backdrop::solid(3));
        view->setPicker([&dir](QWidget*) { return dir.filePath("bg.png"); });
        view->pickImage();
        QTRY_VERIFY_WITH_TIMEOUT(view->settings().backdrop == Backdrop::image(dir.filePath("bg.png")), 30000);
        QVERIFY(view->pictureTile()->isSelected());
        QTRY_VERIFY_WITH_TIMEOUT(near(view->pane()->image().pixel(0, 0), Qt::blue), 30000);

        view->setCustomColour(QColor(10, 200, 30));
        QCOMPARE(view->settings().backdrop, Backdrop::custom(QColor(10, 200, 30)));
        view->resetButton()->click();
        QCOMPARE(view->settings(), FrameSettings());
        QCOMPARE(view->ratios()->selected(), 0);
        QVERIFY(!view->pictureTile()->isSelected());
        QCOMPARE(view->background().size(), QSize(300, 300));
        QCOMPARE(view->customColour(), QColor(10, 200, 30));
    }

    // Saving two JPEGs: each framed at full size into a PNG of its own beside it, the first
    // under " 2" as its name is taken, GPS carried, nothing temporary left.
    void savesBesideTheOriginals()
    {
        QTemporaryDir dir;
        for (const QString name : {"a.jpg", "b.jpg"}) {
            QVERIFY(filled({400, 300}, Qt::red).save(dir.filePath(name), "JPEG", 95));
            ImageProps props;
            QVERIFY(props.setValue("Exif.GPSInfo.GPSLatitudeRef", "N"));
            QVERIFY(props.setValue("Exif.GPSInfo.GPSLatitude", "59/1 54/1 0/1"));
            props.embedInto(dir.filePath(name));
        }
        QVERIFY(filled({4, 4}, Qt::white).save(dir.filePath("a With Background.png")));
        ToolHarness harness;
        auto* view = harness.open<AddBackgroundView>(ToolID::frameImage,
                                                     {dir.filePath("a.jpg"), dir.filePath("b.jpg")});
        QVERIFY(view);
        emit view->ratios()->edited(1);
        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QCOMPARE(job->state().phase, Job::Phase::done);
        const QStringList expected{dir.filePath("a With Background 2.png"),
                                   dir.filePath("b With Background.png")};
        QCOMPARE(job->results(), expected);
        for (const QString& path : expected) {
            const QImage framed(path);
            QCOMPARE(framed.size(), QSize(480, 480));
            QVERIFY(near(framed.pixel(240, 240), Qt::red, 8));
            QCOMPARE(ImageProps::read(path).value("Exif.GPSInfo.GPSLatitude"), QString("59/1 54/1 0/1"));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 5);
    }

    // Pictures tagged with a colour profile are drawn as they look, in sRGB: the picture and the
    // background picture, in the preview and in the saved copies, CMYK ones through their
    // profile. sRGB and untagged pictures keep their values.
    void colourProfiles()
    {
        QTemporaryDir dir;
        const QList<ProfiledPicture> pictures = writeProfiledPictures(dir.path(), {80, 60});
        QCOMPARE(pictures.size(), 6);
        const QStringList files = paths(pictures);
        ToolHarness harness;
        auto* view = harness.open<AddBackgroundView>(ToolID::frameImage, files);
        QVERIFY(view);
        view->setPicker([&pictures](QWidget*) { return pictures[1].path; });
        view->pickImage();
        QTRY_VERIFY_WITH_TIMEOUT(near(view->pane()->image().pixel(0, 0), pictures[1].shown, 4), 30000);
        const QImage preview = view->pane()->image();
        QVERIFY2(near(preview.pixel(48, 38), pictures[0].shown, 4), qPrintable(rgb(preview.pixel(48, 38))));

        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QCOMPARE(job->results().size(), pictures.size());
        for (qsizetype i = 0; i < pictures.size(); ++i) {
            const QImage framed(job->results()[i]);
            QCOMPARE(framed.size(), QSize(96, 76));
            QVERIFY(!framed.colorSpace().isValid() || framed.colorSpace() == QColorSpace::SRgb);
            QVERIFY2(near(framed.pixel(48, 38), pictures[i].shown, 4),
                     qPrintable(QFileInfo(pictures[i].path).fileName() + rgb(framed.pixel(48, 38))));
            QVERIFY2(near(framed.pixel(0, 0), pictures[1].shown, 4), qPrintable(rgb(framed.pixel(0, 0))));
        }
    }
};

QTEST_MAIN(FrameTest)
#include "test_frame.moc"
