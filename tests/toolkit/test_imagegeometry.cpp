// The image plumbing of the tool windows: fitting, previews, unit crops, bitmaps, the kept
// format, and the asynchronous image source.

#include "toolkit/bitmap.h"
#include "toolkit/imagegeometry.h"
#include "toolkit/imagesource.h"
#include "toolkit/imagetools.h"

#include <QColorSpace>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class ImageGeometryTest : public QObject
{
    Q_OBJECT
  private slots:
    void fitted_data()
    {
        QTest::addColumn<QSizeF>("content");
        QTest::addColumn<QSizeF>("box");
        QTest::addColumn<double>("padding");
        QTest::addColumn<QRectF>("expected");
        QTest::newRow("wide in a square")
            << QSizeF(400, 200) << QSizeF(300, 300) << 10.0 << QRectF(10, 80, 280, 140);
        QTest::newRow("no content") << QSizeF(0, 0) << QSizeF(300, 300) << 10.0 << QRectF(0, 0, 280, 280);
        QTest::newRow("scaled up") << QSizeF(10, 20) << QSizeF(100, 100) << 0.0 << QRectF(25, 0, 50, 100);
        QTest::newRow("padding eats the box")
            << QSizeF(1, 1) << QSizeF(10, 10) << 8.0 << QRectF(4.5, 4.5, 1, 1);
    }
    void fitted()
    {
        QFETCH(QSizeF, content);
        QFETCH(QSizeF, box);
        QFETCH(double, padding);
        QTEST(fittedRect(content, box, padding), "expected");
    }

    void previews()
    {
        const QImage big(4000, 3000, QImage::Format_RGB32);
        QCOMPARE(downscaled(big, 1600).size(), QSize(1600, 1200));
        const QImage line(3000, 1, QImage::Format_RGB32);
        QCOMPARE(downscaled(line, 1600).size(), QSize(1600, 1));
        const QImage small(1000, 800, QImage::Format_RGB32);
        QCOMPARE(downscaled(small, 1600).cacheKey(), small.cacheKey()); // itself, not a copy
        QCOMPARE(downscaled(small, qQNaN()).cacheKey(), small.cacheKey());
    }

    // Halves round away from zero; what reaches past the image is cut off, never padded.
    void unitCrops_data()
    {
        QTest::addColumn<QSize>("image");
        QTest::addColumn<QRectF>("unit");
        QTest::addColumn<QRect>("expected"); // empty: refused
        QTest::newRow("half of 101") << QSize(101, 101) << QRectF(0.5, 0.5, 0.5, 0.5)
                                     << QRect(51, 51, 50, 50);
        QTest::newRow("whole") << QSize(40, 30) << QRectF(0, 0, 1, 1) << QRect(0, 0, 40, 30);
        QTest::newRow("width rounds to nothing")
            << QSize(100, 10) << QRectF(0.2, 0, 0.001, 1) << QRect(20, 0, 1, 10);
        QTest::newRow("wholly outside") << QSize(10, 10) << QRectF(1.5, 0, 0.5, 1) << QRect();
        QTest::newRow("not a number") << QSize(10, 10) << QRectF(qQNaN(), 0, 1, 1) << QRect();
    }
    void unitCrops()
    {
        QFETCH(QSize, image);
        QFETCH(QRectF, unit);
        QFETCH(QRect, expected);
        // Each pixel's colour says where it came from.
        QImage source(image, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                source.setPixel(x, y, qRgb(x, y, 7));
        const std::optional<QImage> part = ImageTools::crop(source, unit);
        QCOMPARE(bool(part), !expected.isEmpty());
        if (!part) return;
        QCOMPARE(part->size(), expected.size());
        QCOMPARE(part->pixel(0, 0), qRgb(expected.x(), expected.y(), 7));
        QCOMPARE(part->pixel(part->width() - 1, part->height() - 1),
                 qRgb(expected.right(), expected.bottom(), 7));
    }

    // Whole pixels, at least one each way, in sRGB, and painted through: no unset strip.
    void bitmaps()
    {
        QCOMPARE(Bitmap::make(QSizeF(0, 0), false)->size(), QSize(1, 1));
        QCOMPARE(Bitmap::make(QSizeF(3.5, 2.5), false)->size(), QSize(4, 3));
        QVERIFY(!Bitmap::make(QSizeF(qInf(), 5), true));
        std::optional<QImage> canvas = Bitmap::make(QSizeF(50, 20.4), true);
        QCOMPARE(canvas->size(), QSize(50, 20));
        QVERIFY(!canvas->hasAlphaChannel());
        QCOMPARE(canvas->colorSpace(), QColorSpace(QColorSpace::SRgb));
        QCOMPARE(canvas->pixel(0, 19), qRgb(0, 0, 0));
        // Qt's coordinates are already top-left: a fill of the top row lands on the top row.
        QPainter(&*canvas).fillRect(QRectF(0, 0, 50, 1), Qt::red);
        QCOMPARE(canvas->pixel(10, 0), qRgb(255, 0, 0));
        QCOMPARE(canvas->pixel(10, 19), qRgb(0, 0, 0));
        QCOMPARE(Bitmap::make(QSizeF(4, 4), false)->pixel(1, 1), qRgba(0, 0, 0, 0));
    }

    // What the engine cannot write falls back to PNG; a JPEG alias is written as jpg.
    void keptFormats()
    {
        const QList<std::pair<QString, QString>> cases{{"/p/IMG.JPEG", "jpg"}, {"/p/a.heic", "heic"},
                                                       {"/p/a.webp", "webp"},  {"/p/a.svg", "png"},
                                                       {"/p/a.xyz", "png"},    {"/p/photo", "png"}};
        for (const auto& [file, format] : cases)
            QCOMPARE(ImageTools::keptFormat(file), format);
    }

    void sourceOfAGoodAndABrokenFile()
    {
        QTemporaryDir dir;
        QImage picture(3200, 1000, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        QVERIFY(picture.save(dir.filePath("wide.png")));
        ImageSource good(dir.filePath("wide.png"), 1600);
        QSignalSpy full(&good, &ImageSource::fullChanged), preview(&good, &ImageSource::previewChanged);
        QVERIFY(!good.isSettled());
        QTRY_VERIFY_WITH_TIMEOUT(good.isSettled(), 20000);
        QCOMPARE(good.full().size(), QSize(3200, 1000));
        QCOMPARE(good.preview().size(), QSize(1600, 500));
        QCOMPARE(full.count() + preview.count(), 2);
        QVERIFY(!good.error());

        QFile text(dir.filePath("notes.png"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("not a picture at all");
        text.close();
        ImageSource broken(text.fileName(), 1600);
        QSignalSpy error(&broken, &ImageSource::errorChanged);
        QTRY_VERIFY_WITH_TIMEOUT(broken.isSettled(), 20000);
        QCOMPARE(error.count(), 1);
        QVERIFY2(broken.error()->contains("notes.png"), qPrintable(*broken.error()));
        QVERIFY(broken.full().isNull() && broken.preview().isNull());

        // A source dropped while it loads hears nothing more, and nothing breaks.
        delete new ImageSource(dir.filePath("wide.png"), 100);
        ImageSource after(dir.filePath("wide.png"), 100);
        QTRY_VERIFY_WITH_TIMEOUT(after.isSettled(), 20000);
    }
};

QTEST_MAIN(ImageGeometryTest)
#include "test_imagegeometry.moc"
