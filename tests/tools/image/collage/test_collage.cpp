// The Create Collage tool: the layouts' cells, the canvas and what lands on it, the canvas
// bound, cancelling, and the window from its tiles to one "Collage" PNG on disk.

#include "core/converterror.h"
#include "core/job.h"
#include "toolkit/loadingview.h"
#include "toolkit/segmented.h"
#include "toolkit/sliderrow.h"
#include "tools/image/collage/collagerenderer.h"
#include "tools/image/collage/collageview.h"
#include "tools/image/collage/createcollage.h"
#include "tools/image/collage/thumbstrip.h"
#include "tools/image/shared/previewpane.h"

#include <QAbstractButton>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include "../../../support/profiledpictures.h"
#include "../../../support/rects.h"
#include "../../../support/toolharness.h"

namespace {

QImage filled(QSize size, const QColor& colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

bool near(QRgb a, const QColor& b, int tolerance = 6)
{
    return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance &&
           std::abs(qBlue(a) - b.blue()) <= tolerance;
}

CollageSettings settings(CollageLayout layout, double spacing, double corners, int background, double width)
{
    return {layout, spacing, corners, background, width};
}

// Small pictures of these colours, written as PNG files in `dir`.
QStringList write(const QTemporaryDir& dir, const QList<std::pair<QString, QColor>>& files,
                  QSize size = {60, 40})
{
    QStringList paths;
    for (const auto& [name, colour] : files) {
        paths << dir.filePath(name);
        if (!filled(size, colour).save(paths.last())) return {};
    }
    return paths;
}

} // namespace

class CollageTest : public QObject
{
    Q_OBJECT
  private slots:
    void cleanup()
    {
        for (ToolWindow* w : ToolWindows::openWindows())
            w->close();
    }

    void cells_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QList<double>>("aspects");
        QTest::addColumn<QSizeF>("proportion");
        QTest::addColumn<QList<QRectF>>("expected"); // the cells checked, from the first
        const double t = 1.0 / 3;
        QTest::newRow("grid of 2") << 2 << "Grid" << QList<double>{} << QSizeF(2, 1)
                                   << QList<QRectF>{{0, 0, 0.5, 1}, {0.5, 0, 0.5, 1}};
        QTest::newRow("grid of 3") << 3 << "Grid" << QList<double>{} << QSizeF(2, 2)
                                   << QList<QRectF>{{0, 0, 0.5, 0.5}, {0.5, 0, 0.5, 0.5}, {0, 0.5, 0.5, 0.5}};
        QTest::newRow("grid of 5") << 5 << "Grid" << QList<double>{} << QSizeF(3, 2)
                                   << QList<QRectF>{{0, 0, t, 0.5},
                                                    {t, 0, t, 0.5},
                                                    {2 * t, 0, t, 0.5},
                                                    {0, 0.5, t, 0.5},
                                                    {t, 0.5, t, 0.5}};
        QTest::newRow("grid of 7") << 7 << "Grid" << QList<double>{} << QSizeF(3, 3)
                                   << QList<QRectF>{
                                          {0, 0, t, t}, {t, 0, t, t}, {2 * t, 0, t, t}, {0, t, t, t}};
        QTest::newRow("row") << 3 << "Row" << QList<double>{2, 1, 0.5} << QSizeF(3.5, 1)
                             << QList<QRectF>{
                                    {0, 0, 4.0 / 7, 1}, {4.0 / 7, 0, 2.0 / 7, 1}, {6.0 / 7, 0, 1.0 / 7, 1}};
        QTest::newRow("column") << 3 << "Column" << QList<double>{2, 1, 0.5} << QSizeF(1, 3.5)
                                << QList<QRectF>{{0, 0, 1, 1.0 / 7},
                                                 {0, 1.0 / 7, 1, 2.0 / 7},
                                                 {0, 3.0 / 7, 1, 4.0 / 7}};
        QTest::newRow("featured of 3")
            << 3 << "Featured" << QList<double>{} << QSizeF(1.5, 1)
            << QList<QRectF>{{0, 0, 2 * t, 1}, {2 * t, 0, t, 0.5}, {2 * t, 0.5, t, 0.5}};
        QTest::newRow("featured of 2") << 2 << "Featured" << QList<double>{} << QSizeF(1.5, 1)
                                       << QList<QRectF>{{0, 0, 2 * t, 1}, {2 * t, 0, t, 1}};
        QTest::newRow("featured of 1")
            << 1 << "Featured" << QList<double>{} << QSizeF(1, 1) << QList<QRectF>{{0, 0, 1, 1}};
        QTest::newRow("featured of 0")
            << 0 << "Featured" << QList<double>{} << QSizeF(1, 1) << QList<QRectF>{{0, 0, 1, 1}};
        QTest::newRow("empty row") << 0 << "Row" << QList<double>{} << QSizeF(0, 1) << QList<QRectF>{};
        QTest::newRow("empty column") << 0 << "Column" << QList<double>{} << QSizeF(1, 0) << QList<QRectF>{};
    }

    void cells()
    {
        QFETCH(int, count);
        QFETCH(QString, layout);
        QFETCH(QList<double>, aspects);
        QFETCH(QSizeF, proportion);
        QFETCH(QList<QRectF>, expected);
        const CollageRenderer::Cells c =
            CollageRenderer::cells(count, *CollageLayouts::fromRaw(layout), aspects);
        QCOMPARE(c.proportion, proportion);
        QVERIFY(c.cells.size() >= expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i)
            QVERIFY2(near(c.cells[i], expected[i]), qPrintable(QString::number(i) + text(c.cells[i])));
    }

    // The canvas heights of the worked examples, and one pixel for a row too wide to round up.
    void canvasSizes()
    {
        const QList<QSize> five(5, QSize(100, 100));
        QCOMPARE(CollageRenderer::canvasSize(five, CollageSettings()), QSizeF(2400, 1600));
        const QList<QSize> three{{200, 100}, {100, 100}, {100, 200}};
        CollageSettings s;
        s.layout = CollageLayout::row;
        QCOMPARE(CollageRenderer::canvasSize(three, s), QSizeF(2400, 686));
        QCOMPARE(
            CollageRenderer::render(
                {filled({200, 100}, Qt::red), filled({100, 100}, Qt::red), filled({100, 200}, Qt::red)}, s)
                .size(),
            QSize(2400, 686));
        s.layout = CollageLayout::column;
        QCOMPARE(CollageRenderer::canvasSize(three, s), QSizeF(2400, 8400));
        s.layout = CollageLayout::row;
        QCOMPARE(CollageRenderer::canvasSize({QSize(30000, 1)}, s), QSizeF(2400, 1));
        QVERIFY(CollageRenderer::render({}, s).isNull());
    }

    // Gap, corners, background colours, the featured cells and the centred crop, probed.
    void pixelProbes()
    {
        const QImage red = filled({100, 100}, Qt::red), blue = filled({100, 100}, Qt::blue);
        // Two squares in a 400 × 200 grid: a 10-pixel gap, a 5-pixel margin.
        const QImage spaced =
            CollageRenderer::render({red, blue}, settings(CollageLayout::grid, 0.025, 0, 0, 400));
        QCOMPARE(spaced.size(), QSize(400, 200));
        QVERIFY(near(spaced.pixel(2, 2), Qt::white));
        QVERIFY(near(spaced.pixel(6, 6), Qt::red));
        QVERIFY(near(spaced.pixel(200, 100), Qt::white));
        QVERIFY(near(spaced.pixel(206, 100), Qt::blue));
        const QImage touching =
            CollageRenderer::render({red, blue}, settings(CollageLayout::grid, 0, 0, 15, 400));
        QVERIFY(near(touching.pixel(0, 0), Qt::red) && near(touching.pixel(399, 199), Qt::blue));
        QVERIFY(near(touching.pixel(198, 100), Qt::red) && near(touching.pixel(201, 100), Qt::blue));
        // Corners 0.25 of the 200-pixel side: radius 50, the corner pixels are background.
        const QImage rounded =
            CollageRenderer::render({red, blue}, settings(CollageLayout::grid, 0, 0.25, 15, 400));
        QVERIFY(near(rounded.pixel(1, 1), Qt::black));
        QVERIFY(near(rounded.pixel(50, 2), Qt::red));
        // Past half the cell's side the corner is limited to a full round end, not beyond.
        const QImage pill = CollageRenderer::render({red}, settings(CollageLayout::row, 0, 2, 16, 400));
        QVERIFY(near(pill.pixel(200, 1), Qt::red));
        QVERIFY(near(pill.pixel(1, 200), Qt::red) && near(pill.pixel(1, 1), Qt::white));
        // Featured: the first picture over the left two thirds, the second over the right third.
        const QImage featured =
            CollageRenderer::render({red, blue}, settings(CollageLayout::featured, 0, 0, 0, 300));
        QCOMPARE(featured.size(), QSize(300, 200));
        QVERIFY(near(featured.pixel(198, 100), Qt::red) && near(featured.pixel(202, 100), Qt::blue));
        QVERIFY(near(featured.pixel(299, 0), Qt::blue) && near(featured.pixel(299, 199), Qt::blue));

        // A wide picture in a square cell loses equal parts on the left and right: of 300 × 100
        // (red, a green band 140 … 160, blue), the middle 100 columns show.
        QImage wide = filled({300, 100}, Qt::red);
        {
            QPainter p(&wide);
            p.fillRect(140, 0, 20, 100, Qt::green);
            p.fillRect(160, 0, 140, 100, Qt::blue);
        }
        const QImage cut = CollageRenderer::render({wide}, settings(CollageLayout::featured, 0, 0, 0, 200));
        QVERIFY(near(cut.pixel(2, 100), Qt::red) && near(cut.pixel(100, 100), Qt::green));
        QVERIFY(near(cut.pixel(197, 100), Qt::blue) && near(cut.pixel(75, 100), Qt::red));
        QVERIFY(near(cut.pixel(125, 100), Qt::blue));
    }

    // Twenty portraits in one column at 3,600 pixels would be 144,000 pixels high: the renderer
    // gives nothing and the save fails saying so, after loading and before writing anything.
    void canvasBound()
    {
        const QList<QImage> portraits(20, filled({50, 100}, Qt::red));
        const CollageSettings s = settings(CollageLayout::column, 0.015, 0.02, 0, 3600);
        QCOMPARE(CollageRenderer::canvasSize(QList<QSize>(20, QSize(50, 100)), s), QSizeF(3600, 144000));
        QVERIFY(CollageRenderer::render(portraits, s).isNull());

        QTemporaryDir dir;
        QStringList files;
        for (int i = 0; i < 20; ++i) {
            files << dir.filePath(QStringLiteral("p%1.png").arg(i));
            QVERIFY(portraits[i].save(files.last()));
        }
        Job job("", "", 0);
        try {
            CreateCollage::makeCollage(files, s, job, [](double) {});
            QFAIL("a collage past the bound was made");
        } catch (const ConvertError& e) {
            QVERIFY2(e.description().contains("3600 × 144000"), qPrintable(e.description()));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 20);
    }

    // Cancelled between two files the work stops and writes nothing; an unreadable file fails
    // it with the loader's reason; the detail counts images, also one.
    void cancellingAndFailing()
    {
        QTemporaryDir dir;
        const QStringList files = write(dir, {{"a.png", Qt::red}, {"b.png", Qt::blue}, {"c.png", Qt::green}});
        QVERIFY(!files.isEmpty());
        Job job("", "", 0);
        int loaded = 0;
        try {
            CreateCollage::makeCollage(files, CollageSettings(), job, [&](double) {
                if (++loaded == 1) job.cancel();
            });
            QFAIL("a cancelled collage was made");
        } catch (const ConvertError& e) {
            QVERIFY(e.isCancelled());
        }
        QCOMPARE(loaded, 1);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);

        QFile junk(dir.filePath("junk.jpg"));
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("not a picture") > 0);
        junk.close();
        Job second("", "", 0);
        try {
            CreateCollage::makeCollage({files[0], junk.fileName()}, CollageSettings(), second, [](double) {});
            QFAIL("a collage with an unreadable file was made");
        } catch (const ConvertError& e) {
            QVERIFY2(e.description().contains("junk.jpg"), qPrintable(e.description()));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 4);
        QCOMPARE(CreateCollage::detail(1), QString("1 images"));
    }

    // The save scales each picture to what fills its cell: a sharp edge stays sharp.
    void savedPicturesStaySharp()
    {
        QTemporaryDir dir;
        QImage halves = filled({1600, 1600}, Qt::red);
        QPainter(&halves).fillRect(800, 0, 800, 1600, Qt::blue);
        QVERIFY(halves.save(dir.filePath("halves.png")));
        Job job("", "", 0);
        for (const CollageLayout layout : {CollageLayout::grid, CollageLayout::featured}) {
            const QStringList out = CreateCollage::makeCollage(
                {dir.filePath("halves.png")}, settings(layout, 0, 0, 0, 400), job, [](double) {});
            const QImage saved(out.value(0));
            QCOMPARE(saved.size(), QSize(400, 400));
            QVERIFY(near(saved.pixel(198, 200), Qt::red, 12) && near(saved.pixel(201, 200), Qt::blue, 12));
        }
    }

    // The window: tiles numbered in order with the end arrows off, texts, a move that renames
    // the result, and the save beside the new first file under the next free name.
    void theWindow()
    {
        QTemporaryDir dir;
        const QStringList files = write(dir, {{"a.png", Qt::red}, {"b.png", Qt::blue}, {"c.png", Qt::green}});
        QVERIFY(filled({4, 4}, Qt::white).save(dir.filePath("b Collage.png")));
        ToolHarness harness;
        auto* view = harness.open<CollageView>(ToolID::createCollage, files);
        QVERIFY(view && view->primaryButton()->isEnabled());
        ThumbStrip* strip = view->strip();
        QCOMPARE(strip->count(), 3);
        QCOMPARE((QStringList{strip->positionText(0), strip->positionText(1), strip->positionText(2)}),
                 (QStringList{"1", "2", "3"}));
        QVERIFY(!strip->leftButton(0)->isEnabled() && strip->rightButton(0)->isEnabled());
        QVERIFY(strip->leftButton(2)->isEnabled() && !strip->rightButton(2)->isEnabled());
        QCOMPARE(view->spacingRow()->valueText(), QString("36 px"));
        QCOMPARE(view->cornersRow()->valueText(), QString("2%"));
        QCOMPARE(CollageView::cornersText(0.015), QString("1%"));
        QCOMPARE(view->pane()->image().width(), 1100);

        emit view->widthChoice()->edited(2);
        QCOMPARE(view->settings().width, 3600.0);
        QCOMPARE(view->spacingRow()->valueText(), QString("54 px"));
        QTest::mouseClick(strip->leftButton(0), Qt::LeftButton); // disabled: nothing moves
        QCOMPARE(view->order(), files);

        emit view->layouts()->edited(1); // a row of three 60 × 40 pictures
        QTest::mouseClick(strip->leftButton(1), Qt::LeftButton);
        QCOMPARE(view->order(), (QStringList{files[1], files[0], files[2]}));
        QTRY_VERIFY_WITH_TIMEOUT(near(view->pane()->image().pixel(40, 150), Qt::blue), 30000);
        QVERIFY(near(view->pane()->image().pixel(550, 150), Qt::red));

        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QCOMPARE(job->state().phase, Job::Phase::done);
        QCOMPARE(job->detail(), QString("3 images"));
        QCOMPARE(job->results(), QStringList{dir.filePath("b Collage 2.png")});
        const QImage saved(dir.filePath("b Collage 2.png"));
        QCOMPARE(saved.size(), QSize(3600, 800));
        QVERIFY(near(saved.pixel(300, 400), Qt::blue) && near(saved.pixel(1800, 400), Qt::red));
        QVERIFY(near(saved.pixel(3300, 400), Qt::green));
    }

    // A file that can't be read: a blank tile, missing from the preview, and the save fails
    // with the loader's reason. A preview past the bound says why instead of a spinner.
    void unreadableAndOversized()
    {
        QTemporaryDir dir;
        QStringList files = write(dir, {{"a.png", Qt::red}});
        QFile junk(dir.filePath("junk.jpg"));
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("not a picture") > 0);
        junk.close();
        files << junk.fileName();
        ToolHarness harness;
        auto* view = harness.open<CollageView>(ToolID::createCollage, files);
        QVERIFY(view && view->primaryButton()->isEnabled());
        QCOMPARE(view->strip()->count(), 2);
        QCOMPARE(view->pane()->image().size(), QSize(1100, 1100)); // a grid of one
        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QCOMPARE(job->state().phase, Job::Phase::failed);
        QVERIFY2(job->state().message.contains("junk.jpg"), qPrintable(job->state().message));
        QVERIFY(!QFile::exists(dir.filePath("a Collage.png")));

        QStringList tall;
        for (int i = 0; i < 20; ++i)
            tall << write(dir, {{QStringLiteral("t%1.png").arg(i), Qt::red}}, {50, 100});
        auto* column = harness.open<CollageView>(ToolID::createCollage, tall);
        QVERIFY(column);
        emit column->layouts()->edited(2);
        QTRY_VERIFY_WITH_TIMEOUT(column->pane()->loading()->error().has_value(), 30000);
        QVERIFY2(column->pane()->loading()->error()->contains("2400 × 96000"),
                 qPrintable(*column->pane()->loading()->error()));
        QVERIFY(column->pane()->image().isNull());
    }

    // Pictures tagged with a colour profile are drawn as they look, in sRGB: in the tiles, the
    // preview and the saved collage, CMYK ones through their profile. sRGB and untagged
    // pictures keep their values.
    void colourProfiles()
    {
        QTemporaryDir dir;
        const QList<ProfiledPicture> pictures = writeProfiledPictures(dir.path(), {60, 40});
        QCOMPARE(pictures.size(), 6);
        const QStringList files = paths(pictures);
        ToolHarness harness;
        auto* view = harness.open<CollageView>(ToolID::createCollage, files);
        QVERIFY(view);
        emit view->layouts()->edited(1); // a row of six, each a sixth of the width
        const auto probe = [&pictures](const QImage& image, qsizetype i) {
            const QPoint at(int((double(i) + 0.5) * image.width() / 6), image.height() / 2);
            return near(image.pixel(at), pictures[i].shown, 4)
                       ? QString()
                       : QFileInfo(pictures[i].path).fileName() + QStringLiteral(" shows (%1, %2, %3)")
                                                                      .arg(qRed(image.pixel(at)))
                                                                      .arg(qGreen(image.pixel(at)))
                                                                      .arg(qBlue(image.pixel(at)));
        };
        QTRY_COMPARE_WITH_TIMEOUT(view->pane()->image().height(), 1100 * 40 / 360, 30000);
        for (qsizetype i = 0; i < pictures.size(); ++i) {
            const QImage tile = view->strip()->leftButton(i)->parentWidget()->grab().toImage();
            QVERIFY(near(tile.pixel(28, 22), pictures[i].shown, 4));
            QCOMPARE(probe(view->pane()->image(), i), QString());
        }

        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        const QImage saved(job->results().value(0));
        QCOMPARE(saved.size(), QSize(2400, 267));
        QVERIFY(!saved.colorSpace().isValid() || saved.colorSpace() == QColorSpace::SRgb);
        for (qsizetype i = 0; i < pictures.size(); ++i)
            QCOMPARE(probe(saved, i), QString());
    }
};

QTEST_MAIN(CollageTest)
#include "test_collage.moc"
