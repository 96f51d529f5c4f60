#include "engines/image/gifwriter.h"
#include "engines/image/imageengine.h"

#include "core/settings.h"
#include "core/zip.h"

#include "../../support/enginefixtures_a.h"

#include <QColorSpace>
#include <QImageReader>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <exiv2/exiv2.hpp>
#include <poppler-qt6.h>

using namespace Fixture;

namespace {

// A picture whose quadrants tell where each corner went: red, green / blue, yellow.
QImage quadrants(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.fillRect(0, 0, w / 2, h / 2, Qt::red);
    p.fillRect(w / 2, 0, w - w / 2, h / 2, Qt::green);
    p.fillRect(0, h / 2, w / 2, h - h / 2, Qt::blue);
    p.fillRect(w / 2, h / 2, w - w / 2, h - h / 2, Qt::yellow);
    return img;
}

// The colours at the quadrant centres, top left, top right, bottom left, bottom right, with
// each channel read as off or on.
QString corners(const QImage& img)
{
    const QStringList names{"black", "blue", "green", "cyan", "red", "magenta", "yellow", "white"};
    QStringList out;
    for (const auto& [x, y] : {std::pair{1, 1}, {3, 1}, {1, 3}, {3, 3}}) {
        const QColor c = img.pixelColor(x * img.width() / 4, y * img.height() / 4);
        out << names[(c.red() > 127) * 4 + (c.green() > 127) * 2 + (c.blue() > 127)];
    }
    return out.join(' ');
}

QMap<QString, QString> exifOf(const QString& path)
{
    auto image = Exiv2::ImageFactory::open(path.toStdString());
    image->readMetadata();
    QMap<QString, QString> out;
    for (const auto& d : image->exifData())
        out.insert(QString::fromStdString(d.key()), QString::fromStdString(d.toString()));
    return out;
}

} // namespace

class ImageEngineTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void init()
    {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        Settings::shared().setImageQuality(0.88);
        qunsetenv("TOLVANE_SEARCH_PATH");
    }

    void orientationIsAppliedAndPropertiesCarried_data()
    {
        QTest::addColumn<QString>("orientation");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("corners");
        QTest::newRow("upright") << "1" << QSize(60, 40) << "red green blue yellow";
        QTest::newRow("mirrored") << "2" << QSize(60, 40) << "green red yellow blue";
        QTest::newRow("turned 180") << "3" << QSize(60, 40) << "yellow blue green red";
        QTest::newRow("turned 90 clockwise") << "6" << QSize(40, 60) << "blue red yellow green";
        QTest::newRow("turned 90 anticlockwise") << "8" << QSize(40, 60) << "green yellow red blue";
        QTest::newRow("transposed") << "5" << QSize(40, 60) << "red blue green yellow";
    }
    // The pixels are turned upright once, the tag says so, and the other fields come along.
    void orientationIsAppliedAndPropertiesCarried()
    {
        QFETCH(QString, orientation);
        QFETCH(QSize, size);
        QImage photo = quadrants(60, 40);
        photo.setDotsPerMeterX(11811); // 300 dpi
        photo.setDotsPerMeterY(11811);
        QVERIFY(photo.save(path("photo.jpg"), "JPEG", 95));
        const QStringList keys{
            "Exif.Image.Make",          "Exif.Photo.DateTimeOriginal", "Exif.GPSInfo.GPSLatitudeRef",
            "Exif.GPSInfo.GPSLatitude", "Exif.Image.Orientation",      "Exif.Photo.PixelXDimension"};
        const QStringList stored{"Tolvane Optics", "2024:05:01 10:00:00", "N",
                                 "59/1 54/1 0/1",  orientation,           "60"};
        auto image = Exiv2::ImageFactory::open(path("photo.jpg").toStdString());
        image->readMetadata();
        for (qsizetype i = 0; i < keys.size(); ++i)
            image->exifData()[keys[i].toStdString()].setValue(stored[i].toStdString());
        image->writeMetadata();

        QCOMPARE(convert(path("photo.jpg"), "png"), QStringList{path("photo.png")});
        const QImage png(path("photo.png"));
        QCOMPARE(png.size(), size);
        QTEST(corners(png), "corners");
        QCOMPARE(qRound(png.dotsPerMeterX() * 0.0254), 300);
        const auto exif = exifOf(path("photo.png"));
        QStringList carried;
        for (const QString& key : keys)
            carried << exif.value(key);
        QCOMPARE(carried, stored.mid(0, 4) << "1" << QString::number(size.width()));
        QVERIFY(!exif.contains("Exif.Thumbnail.Compression"));
    }

    // Transparency stays where the format holds it and turns white where it doesn't, from full
    // colour and from a palette alike.
    void transparencyIsKeptOrWhite()
    {
        QImage img(40, 20, QImage::Format_ARGB32);
        img.fill(Qt::transparent);
        QPainter(&img).fillRect(20, 0, 20, 20, Qt::blue);
        QVERIFY(img.save(path("logo.png")));
        QVERIFY(img.convertToFormat(QImage::Format_Indexed8).save(path("palette.png")));
        QCOMPARE(QImageReader(path("palette.png")).imageFormat(), QImage::Format_Indexed8);
        for (const QString source : {"logo", "palette"}) {
            for (const QString target : {"jpg", "bmp"})
                QCOMPARE(corners(QImage(convert(path(source + ".png"), target).value(0))),
                         QString("white blue white blue"));
            const QImage tiff(convert(path(source + ".png"), "tiff").value(0));
            QCOMPARE(tiff.pixelColor(5, 5).alpha(), 0);
            QCOMPARE(tiff.pixelColor(30, 5), QColor(Qt::blue));
        }
    }

    // Written and read back with transparency and fields; a HEIF file named like a JPEG is
    // still read, and converted, as what it is.
    void heifRoundTrip()
    {
        QImage img = quadrants(64, 48).convertToFormat(QImage::Format_ARGB32);
        QPainter p(&img);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(0, 0, 8, 48, Qt::transparent);
        p.end();
        ImageProps props;
        QVERIFY(props.setValue("Exif.Image.Make", "Tolvane Optics"));
        for (const QString format : {"heic", "avif"}) {
            ImageEngine::write(img, path("round." + format), format, props, 0.9, 72);
            QVERIFY(QFile::copy(path("round." + format), path(format + ".jpg")));
            const ImageEngine::Loaded back = ImageEngine::load(path(format + ".jpg"));
            QCOMPARE(back.image.size(), img.size());
            QCOMPARE(corners(back.image), QString("red green blue yellow"));
            QVERIFY(qAlpha(back.image.pixel(2, 20)) < 40 && qAlpha(back.image.pixel(40, 20)) > 215);
            QCOMPARE(back.props.value("Exif.Image.Make"), QString("Tolvane Optics"));
            QCOMPARE(corners(QImage(convert(path(format + ".jpg"), "png").value(0))),
                     "red green blue yellow");
        }
    }

    // Taller than the rows converted at a time, from pixels already in the encoder's order and
    // from pixels that need converting: every stripe comes back in its place.
    void heifKeepsEveryRowInPlace()
    {
        QImage img(48, 300, QImage::Format_RGB32);
        const auto colour = [](int stripe) { return QColor::fromHsv(stripe * 47 % 360, 255, 230); };
        for (int stripe = 0; stripe < 30; ++stripe)
            QPainter(&img).fillRect(0, stripe * 10, 48, 10, colour(stripe));
        for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGB888,
                                            QImage::Format_RGBA8888, QImage::Format_Indexed8}) {
            ImageEngine::write(img.convertToFormat(format), path("rows.heic"), "heic", {}, 0.95, 72);
            const QImage back = ImageEngine::load(path("rows.heic")).image;
            QCOMPARE(back.size(), img.size());
            for (int stripe = 0; stripe < 30; ++stripe) {
                const QColor want = colour(stripe), got = back.pixelColor(24, stripe * 10 + 5);
                QVERIFY2(std::abs(got.red() - want.red()) + std::abs(got.green() - want.green()) +
                                 std::abs(got.blue() - want.blue()) <
                             60,
                         qPrintable(QString("format %1, stripe %2").arg(format).arg(stripe)));
            }
            QVERIFY(QFile::remove(path("rows.heic")));
        }
    }

    // Pixels handed over whole are let go before the file is written, so that the encoder has
    // their memory; a large picture would otherwise be held twice beside the encoder's own.
    void heifLetsHandedOverPixelsGo()
    {
        for (const QString format : {"heic", "avif"}) {
            struct Watch
            {
                QString target;
                bool released = false, written = false;
                std::vector<uchar> pixels = std::vector<uchar>(64 * 64 * 4, 0x80);
            } watch{path("handed." + format)};
            QImage img(
                watch.pixels.data(), 64, 64, 64 * 4, QImage::Format_RGB32,
                [](void* info) {
                    auto* w = static_cast<Watch*>(info);
                    w->released = true;
                    w->written = QFileInfo(w->target).size() > 0;
                },
                &watch);
            ImageEngine::write(std::move(img), watch.target, format, {}, 0.8, 72);
            QVERIFY(watch.released);
            QVERIFY2(!watch.written, qPrintable(format));
            QCOMPARE(ImageEngine::load(watch.target).image.size(), QSize(64, 64));
        }
    }

    void colourProfileIsKept()
    {
        QImage img = quadrants(32, 32);
        img.setColorSpace(QColorSpace::DisplayP3);
        QVERIFY(img.save(path("wide.tiff")));
        for (const QString format : {"jpg", "png", "heic"})
            QVERIFY2(ImageEngine::load(convert(path("wide.tiff"), format).value(0)).image.colorSpace() ==
                         QColorSpace(QColorSpace::DisplayP3),
                     qPrintable(format));
    }

    void tiffIsLzwAndKeepsFields()
    {
        ImageProps props;
        QVERIFY(props.setValue("Exif.Image.Artist", "A. Painter"));
        ImageEngine::write(quadrants(30, 20), path("out.tiff"), "tiff", props, std::nullopt, 72);
        const auto exif = exifOf(path("out.tiff"));
        QCOMPARE(exif.value("Exif.Image.Compression") + " " + exif.value("Exif.Image.Artist"),
                 "5 A. Painter");
        QCOMPARE(corners(QImage(path("out.tiff"))), QString("red green blue yellow"));
    }

    // A picture's page has its printed size; without a stated resolution, or with one of no
    // unit (an aspect only, in the JFIF header and the Exif fields), one point a pixel.
    void pdfPageHasThePhysicalSize()
    {
        QImage img = quadrants(600, 400);
        img.setDotsPerMeterX(11811);
        img.setDotsPerMeterY(11811);
        QVERIFY(img.save(path("scan.jpg"), "JPEG", 80));
        QFile scan(path("scan.jpg"));
        QVERIFY(scan.open(QIODevice::ReadOnly));
        QByteArray aspect = scan.readAll();
        QCOMPARE(aspect.mid(6, 5), QByteArray("JFIF", 5));
        aspect.replace(13, 5, QByteArray("\0\0\1\0\1", 5));
        QVERIFY(write(path("aspect.jpg"), aspect));
        auto exif = Exiv2::ImageFactory::open(path("aspect.jpg").toStdString());
        exif->readMetadata();
        exif->exifData()["Exif.Image.XResolution"] = Exiv2::URational(1, 1);
        exif->exifData()["Exif.Image.YResolution"] = Exiv2::URational(1, 1);
        exif->exifData()["Exif.Image.ResolutionUnit"] = uint16_t(1);
        exif->writeMetadata();
        QImage plain(300, 200, QImage::Format_RGB32);
        plain.setDotsPerMeterX(-1); // so that no resolution is written
        plain.setDotsPerMeterY(-1);
        QVERIFY(plain.save(path("plain.png")) && !read(path("plain.png")).contains("pHYs"));
        for (const auto& [source, points] : {std::pair{"scan.jpg", QSizeF(144, 96)},
                                             {"plain.png", QSizeF(300, 200)},
                                             {"aspect.jpg", QSizeF(600, 400)}}) {
            const auto doc = Poppler::Document::load(convert(path(source), "pdf").value(0));
            QVERIFY(doc && doc->numPages() == 1);
            QCOMPARE(doc->page(0)->pageSizeF(), points);
        }
    }

    // Small drawings are rendered at 2048 pixels across, large ones at twice their size.
    void svgIsRenderedLargeEnough()
    {
        for (const auto& [points, pixels, dpi] : {std::tuple{QSize(100, 50), QSize(2048, 1024), 1474.56},
                                                  {QSize(1600, 1200), QSize(3200, 2400), 144.0}}) {
            QVERIFY(write(path("d.svg"),
                          QString("<svg xmlns='http://www.w3.org/2000/svg' width='%1' height='%2'>"
                                  "<rect width='%1' height='%2' fill='#00f'/><text y='20'>Hi</text></svg>")
                              .arg(points.width())
                              .arg(points.height())
                              .toUtf8()));
            const ImageEngine::Loaded loaded = ImageEngine::load(path("d.svg"));
            QCOMPARE(loaded.image.size(), pixels);
            QCOMPARE(loaded.dpi, dpi);
            QCOMPARE(loaded.image.pixelColor(pixels.width() / 2, pixels.height() / 2), QColor(Qt::blue));
        }
    }

    // Each refusal leaves the folder as it was. The huge ones: a picture claiming 40000 × 40000
    // pixels over a few bytes of data, and a drawing as wide.
    void refusalsLeaveNothingBehind()
    {
        for (const auto& [name, bytes, target, message] :
             {std::tuple{"a.png", QByteArray(), "xyz", "Can’t write XYZ images"}, // a real picture
              {"notes.png", QByteArray("just some words\n"), "jpg", "Couldn’t read notes.png as an image"},
              {"bomb.gif",
               QByteArray("GIF89a\x40\x9C\x40\x9C\0\0\0,\0\0\0\0\x40\x9C\x40\x9C\0", 23) +
                   QByteArray(4096, 0),
               "jpg", "bomb.gif is too large to open (40000 × 40000 pixels)"},
              {"bomb.svg",
               QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='900000' height='900000'/>"), "jpg",
               "bomb.svg is too large to render (900000 × 900000 points)"}}) {
            QVERIFY(bytes.isEmpty() ? quadrants(8, 8).save(path(name)) : write(path(name), bytes));
            Job job({}, {}, 0);
            QCOMPARE(failure([&] { ImageEngine::convert(path(name), target, job, [](double) {}); }).message(),
                     QString(message));
            QCOMPARE(entries(m_dir.path()), QStringList{name});
            QFile::remove(path(name));
        }
    }

    void takenNamesAndCancelling()
    {
        QVERIFY(quadrants(16, 16).save(path("pic.bmp")));
        QCOMPARE(convert(path("pic.bmp"), "png"), QStringList{path("pic.png")});
        QCOMPARE(convert(path("pic.bmp"), "png"), QStringList{path("pic 2.png")});
        Job job({}, {}, 0);
        job.cancel();
        QVERIFY(failure([&] {
                    ImageEngine::convert(path("pic.bmp"), "tiff", job, [](double) {});
                }).isCancelled());
        QCOMPARE(entries(m_dir.path()), (QStringList{"pic 2.png", "pic.bmp", "pic.png"}));
    }

    // A JPEG cut short, as ImageMagick writes it, baseline or progressive, still converts, and
    // the note says what is missing; a whole one, with data after its end, gets no note.
    void cutShortJpegIsSaidSo()
    {
        const auto magick = [](const QStringList& args) {
            QProcess p;
            p.start("convert", args);
            return p.waitForFinished(60000) && p.exitCode() == 0;
        };
        const std::tuple<QString, QStringList, qreal, QString> rows[] = {
            {"baseline.jpg", {}, 0.6, "baseline.jpg is damaged: its lower part is missing"},
            {"progressive.jpg",
             {"-interlace", "JPEG"},
             0.6,
             "progressive.jpg is damaged: part of its detail is missing"},
            {"whole.jpg", {}, 1, ""},
        };
        for (const auto& [name, options, kept, note] : rows) {
            QVERIFY(magick(QStringList{"-size", "320x240", "plasma:fractal", "-seed", "7", "-quality", "92"} +
                           options + QStringList{path(name)}));
            QFile file(path(name));
            QVERIFY(file.open(QIODevice::ReadWrite));
            if (kept < 1)
                QVERIFY(file.resize(qint64(file.size() * kept)));
            else
                QVERIFY(file.seek(file.size()) && file.write("trailing bytes of another program") > 0);
            file.close();
            Job job({}, {}, 0);
            const QStringList written = ImageEngine::convert(path(name), "png", job, [](double) {});
            QCOMPARE(written.size(), 1);
            QCOMPARE(QImage(written.first()).size(), QSize(320, 240));
            QCOMPARE(job.notes().join(' '), note);
        }
    }

    void webpGoesThroughCwebpAtTheRoundedQuality()
    {
        QVERIFY(quadrants(40, 30).save(path("q.png")));
        // A cwebp that notes its arguments and then does the real work.
        QDir().mkpath(path("bin"));
        QVERIFY(
            write(path("bin/cwebp"), QString("#!/bin/sh\necho \"$@\" > '%1'\nexec /usr/bin/cwebp \"$@\"\n")
                                         .arg(path("args"))
                                         .toUtf8()));
        QFile(path("bin/cwebp")).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        qputenv("TOLVANE_SEARCH_PATH", path("bin").toUtf8());
        Settings::shared().setImageQuality(0.57);

        const QString out = convert(path("q.png"), "webp").value(0);
        QCOMPARE(QImageReader(out).format(), QByteArray("webp"));
        QCOMPARE(corners(QImage(out)), QString("red green blue yellow"));
        QVERIFY2(read(path("args")).startsWith("-quiet -mt -q 57 "), "quality 0.57 must give 57");
        QCOMPARE(ImageEngine::percent(0.29), 29); // not 28.999…

        qputenv("TOLVANE_SEARCH_PATH", path("nothing-here").toUtf8());
        const ConvertError e = failure([&] { convert(path("q.png"), "webp"); });
        QCOMPARE(e.kind(), ConvertError::Kind::missingTool);
        QCOMPARE(e.message(), QString("WebP export needs cwebp. Install it with: sudo apt install webp"));
    }

    void gifKeepsColoursAndTransparency()
    {
        QImage flat(30, 10, QImage::Format_ARGB32);
        flat.fill(Qt::transparent);
        QPainter(&flat).fillRect(10, 0, 10, 10, QColor(200, 30, 90));
        QPainter(&flat).fillRect(20, 0, 10, 10, QColor(10, 120, 250));
        ImageEngine::write(flat, path("flat.gif"), "gif", {}, std::nullopt, 72);
        const QImage back = QImage(path("flat.gif")).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(qAlpha(back.pixel(5, 5)), 0);
        QCOMPARE(back.pixelColor(15, 5), QColor(200, 30, 90));
        QCOMPARE(back.pixelColor(25, 5), QColor(10, 120, 250));

        // A smooth picture of 65536 colours comes back close to itself.
        QImage smooth(256, 256, QImage::Format_RGB32);
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                smooth.setPixel(x, y, qRgb(x, y, (x + y) / 2));
        const GifWriter::Indexed indexed = GifWriter::quantize(smooth, 256);
        QVERIFY(indexed.palette.size() <= 256);
        qint64 error = 0;
        for (int i = 0; i < 256 * 256; ++i) {
            const QRgb a = smooth.pixel(i % 256, i / 256), b = indexed.palette[quint8(indexed.pixels[i])];
            error +=
                std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
        }
        QVERIFY2(error / (256.0 * 256 * 3) < 6, qPrintable(QString::number(error / (256.0 * 256 * 3))));
    }

    // A scan becomes a document of its recognised lines, one paragraph each.
    void scanToDocx()
    {
        const QImage scan =
            writing(QSize(1200, 400), {{150, "Invoice number 4711"}, {210, "Total due & payable"}});
        QVERIFY(scan.save(path("scan.png")));
        QCOMPARE(convert(path("scan.png"), "docx"), QStringList{path("scan.docx")});
        const QString xml = read(Zip::extract(path("scan.docx")).file("word/document.xml"));
        const qsizetype first = xml.indexOf("Invoice number 4711</w:t>");
        QVERIFY2(first > 0 && xml.indexOf("</w:p>", first) < xml.indexOf("Total due &amp; payable</w:t>"),
                 qPrintable(xml));
    }
};

QTEST_MAIN(ImageEngineTest)
#include "test_imageengine.moc"
