#include "engines/converter.h"
#include "engines/image/gifwriter.h"
#include "engines/image/imageengine.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/settings.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <exiv2/exiv2.hpp>
#include <poppler-qt6.h>

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

// The colour names of the quadrant centres, top left, top right, bottom left, bottom right.
QString corners(const QImage& img)
{
    const auto name = [](QRgb c) {
        const QList<std::pair<QString, QColor>> known{{"red", Qt::red},     {"green", Qt::green},
                                                      {"blue", Qt::blue},   {"yellow", Qt::yellow},
                                                      {"white", Qt::white}, {"black", Qt::black}};
        for (const auto& [n, k] : known)
            if (std::abs(qRed(c) - k.red()) < 40 && std::abs(qGreen(c) - k.green()) < 40 &&
                std::abs(qBlue(c) - k.blue()) < 40)
                return n;
        return QString("?");
    };
    const int w = img.width(), h = img.height();
    return QStringList{name(img.pixel(w / 4, h / 4)), name(img.pixel(3 * w / 4, h / 4)),
                       name(img.pixel(w / 4, 3 * h / 4)), name(img.pixel(3 * w / 4, 3 * h / 4))}
        .join(' ');
}

void setExif(const QString& path, const QList<std::pair<const char*, const char*>>& fields)
{
    auto image = Exiv2::ImageFactory::open(path.toStdString());
    image->readMetadata();
    Exiv2::ExifData& exif = image->exifData();
    for (const auto& [key, value] : fields)
        exif[key].setValue(value);
    image->writeMetadata();
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

// The PNG without its resolution chunk, as files that state none are.
void stripResolution(const QString& path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QByteArray png = f.readAll();
    for (qsizetype at = 8; at + 8 <= png.size();) {
        const qsizetype length = qFromBigEndian<quint32>(png.constData() + at);
        if (png.mid(at + 4, 4) == "pHYs") {
            png.remove(at, 12 + length);
            break;
        }
        at += 12 + length;
    }
    f.resize(0);
    f.write(png);
}

quint32 crc32(const QByteArray& bytes)
{
    quint32 c = 0xFFFFFFFFu;
    for (const char b : bytes) {
        c ^= quint8(b);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

QStringList hiddenIn(const QString& folder)
{
    return QDir(folder).entryList({".tolvane-*"}, QDir::AllEntries | QDir::Hidden);
}

} // namespace

class ImageEngineTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QStringList convert(const QString& source, const QString& target)
    {
        Job job({}, {}, 0);
        return Converter::convert(source, target, job, [](double) {});
    }

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
    void orientationIsAppliedAndPropertiesCarried()
    {
        QFETCH(QString, orientation);
        QFETCH(QSize, size);
        QFETCH(QString, corners);
        QImage stored = quadrants(60, 40);
        stored.setDotsPerMeterX(11811); // 300 dpi
        stored.setDotsPerMeterY(11811);
        QVERIFY(stored.save(path("photo.jpg"), "JPEG", 95));
        const QByteArray o = orientation.toLatin1();
        setExif(path("photo.jpg"), {{"Exif.Image.Orientation", o.constData()},
                                    {"Exif.Image.Make", "Tolvane Optics"},
                                    {"Exif.Photo.DateTimeOriginal", "2024:05:01 10:00:00"},
                                    {"Exif.Photo.PixelXDimension", "60"},
                                    {"Exif.Photo.PixelYDimension", "40"},
                                    {"Exif.GPSInfo.GPSLatitudeRef", "N"},
                                    {"Exif.GPSInfo.GPSLatitude", "59/1 54/1 0/1"}});

        const ImageEngine::Loaded loaded = ImageEngine::load(path("photo.jpg"));
        QCOMPARE(loaded.image.size(), size);
        QCOMPARE(::corners(loaded.image), corners);
        QCOMPARE(loaded.dpi, 300.0);

        const QStringList out = convert(path("photo.jpg"), "png");
        QCOMPARE(out, QStringList{path("photo.png")});
        const QImage png(out.first());
        QCOMPARE(png.size(), size);
        QCOMPARE(::corners(png), corners);
        QCOMPARE(qRound(png.dotsPerMeterX() * 0.0254), 300);
        const auto exif = exifOf(out.first());
        QCOMPARE(exif.value("Exif.Image.Orientation"), QString("1"));
        QCOMPARE(exif.value("Exif.Image.Make"), QString("Tolvane Optics"));
        QCOMPARE(exif.value("Exif.Photo.DateTimeOriginal"), QString("2024:05:01 10:00:00"));
        QCOMPARE(exif.value("Exif.GPSInfo.GPSLatitude"), QString("59/1 54/1 0/1"));
        QCOMPARE(exif.value("Exif.Photo.PixelXDimension"), QString::number(size.width()));
        QVERIFY(!exif.contains("Exif.Thumbnail.Compression"));
    }

    void transparencyBecomesWhiteInJpeg()
    {
        QImage img(40, 20, QImage::Format_ARGB32);
        img.fill(Qt::transparent);
        QPainter(&img).fillRect(20, 0, 20, 20, Qt::blue);
        QVERIFY(img.save(path("logo.png")));
        const QString jpg = convert(path("logo.png"), "jpg").first();
        const QImage back(jpg);
        QCOMPARE(::corners(back), QString("white blue white blue"));

        const QImage opaque = quadrants(8, 8);
        QCOMPARE(ImageEngine::flatten(opaque, Qt::white).cacheKey(), opaque.cacheKey());
    }

    void heifRoundTrip_data()
    {
        QTest::addColumn<QString>("format");
        QTest::newRow("heic") << "heic";
        QTest::newRow("avif") << "avif";
    }
    void heifRoundTrip()
    {
        QFETCH(QString, format);
        QImage img = quadrants(64, 48).convertToFormat(QImage::Format_ARGB32);
        for (int x = 0; x < 8; ++x)
            for (int y = 0; y < 48; ++y)
                img.setPixel(x, y, 0);
        ImageProps props;
        QVERIFY(props.setValue("Exif.Image.Make", "Tolvane Optics"));
        const QString file = path("round." + format);
        ImageEngine::write(img, file, format, props, 0.9, 72);

        const ImageEngine::Loaded back = ImageEngine::load(file);
        QCOMPARE(back.image.size(), img.size());
        QCOMPARE(::corners(back.image), QString("red green blue yellow"));
        QVERIFY(qAlpha(back.image.pixel(2, 20)) < 40);
        QVERIFY(qAlpha(back.image.pixel(40, 20)) > 215);
        QCOMPARE(back.props.value("Exif.Image.Make"), QString("Tolvane Optics"));

        // A HEIF file named like a JPEG is still read as what it is.
        QVERIFY(QFile::copy(file, path("disguised.jpg")));
        QCOMPARE(ImageEngine::load(path("disguised.jpg")).image.size(), img.size());
    }

    void colourProfileIsKept_data()
    {
        QTest::addColumn<QString>("format");
        QTest::newRow("jpg") << "jpg";
        QTest::newRow("png") << "png";
        QTest::newRow("heic") << "heic";
    }
    void colourProfileIsKept()
    {
        QFETCH(QString, format);
        QImage img = quadrants(32, 32);
        img.setColorSpace(QColorSpace::DisplayP3);
        QVERIFY(img.save(path("wide.tiff")));
        const QString out = convert(path("wide.tiff"), format).first();
        QCOMPARE(ImageEngine::load(out).image.colorSpace(), QColorSpace(QColorSpace::DisplayP3));
    }

    void tiffIsLzwAndKeepsFields()
    {
        ImageProps props;
        QVERIFY(props.setValue("Exif.Image.Artist", "A. Painter"));
        ImageEngine::write(quadrants(30, 20), path("out.tiff"), "tiff", props, std::nullopt, 72);
        const auto exif = exifOf(path("out.tiff"));
        QCOMPARE(exif.value("Exif.Image.Compression"), QString("5"));
        QCOMPARE(exif.value("Exif.Image.Artist"), QString("A. Painter"));
        QCOMPARE(::corners(QImage(path("out.tiff"))), QString("red green blue yellow"));
    }

    void pdfPageHasThePhysicalSize_data()
    {
        QTest::addColumn<int>("dotsPerMeter");
        QTest::addColumn<QSizeF>("points");
        QTest::newRow("300 dpi") << 11811 << QSizeF(720, 480);
        QTest::newRow("no resolution") << 0 << QSizeF(3000, 2000);
    }
    void pdfPageHasThePhysicalSize()
    {
        QFETCH(int, dotsPerMeter);
        QFETCH(QSizeF, points);
        QImage img = quadrants(3000, 2000);
        if (dotsPerMeter) {
            img.setDotsPerMeterX(dotsPerMeter);
            img.setDotsPerMeterY(dotsPerMeter);
            QVERIFY(img.save(path("scan.jpg"), "JPEG", 80));
        } else {
            QVERIFY(img.save(path("scan.png")));
            stripResolution(path("scan.png"));
        }
        const QString source = path(dotsPerMeter ? "scan.jpg" : "scan.png");
        const auto doc = Poppler::Document::load(convert(source, "pdf").first());
        QVERIFY(doc);
        QCOMPARE(doc->numPages(), 1);
        QCOMPARE(doc->page(0)->pageSizeF(), points);
    }

    void svgIsRenderedLargeEnough_data()
    {
        QTest::addColumn<QSize>("points");
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<double>("dpi");
        QTest::newRow("small drawing") << QSize(100, 50) << QSize(2048, 1024) << 1474.56;
        QTest::newRow("large drawing") << QSize(1600, 1200) << QSize(3200, 2400) << 144.0;
    }
    void svgIsRenderedLargeEnough()
    {
        QFETCH(QSize, points);
        QFETCH(QSize, pixels);
        QFETCH(double, dpi);
        QFile f(path("d.svg"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QString("<svg xmlns='http://www.w3.org/2000/svg' width='%1' height='%2'>"
                        "<rect width='%1' height='%2' fill='#00f'/><text x='2' y='20'>Hi</text></svg>")
                    .arg(points.width())
                    .arg(points.height())
                    .toUtf8());
        f.close();
        const ImageEngine::Loaded loaded = ImageEngine::load(path("d.svg"));
        QCOMPARE(loaded.image.size(), pixels);
        QCOMPARE(loaded.dpi, dpi);
        QCOMPARE(loaded.image.pixelColor(pixels.width() / 2, pixels.height() / 2), QColor(Qt::blue));
    }

    void refusalsLeaveNothingBehind_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("message");
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        quadrants(8, 8).save(&buffer, "PNG");
        QTest::newRow("unknown target") << "a.png" << png << "xyz"
                                        << "Can’t write XYZ images";
        QTest::newRow("not an image") << "notes.png" << QByteArray("just some words\n") << "jpg"
                                      << "Couldn’t read notes.png as an image";
        // A PNG claiming 40000 × 40000 pixels over a few bytes of data, and a drawing as wide.
        const auto chunk = [](const QByteArray& typeAndData) {
            const quint32 length = qToBigEndian(quint32(typeAndData.size() - 4)),
                          crc = qToBigEndian(crc32(typeAndData));
            return QByteArray(reinterpret_cast<const char*>(&length), 4) + typeAndData +
                   QByteArray(reinterpret_cast<const char*>(&crc), 4);
        };
        const QByteArray bomb =
            QByteArray("\x89PNG\r\n\x1A\n", 8) +
            chunk("IHDR" + QByteArray("\x00\x00\x9C\x40\x00\x00\x9C\x40\x08\x06\x00\x00\x00", 13)) +
            chunk("IDAT" + qCompress(QByteArray(4096, 0)).mid(4)) + chunk("IEND");
        QTest::newRow("huge png") << "bomb.png" << bomb << "jpg"
                                  << "bomb.png is too large to open (40000 × 40000 pixels)";
        QTest::newRow("huge svg")
            << "bomb.svg"
            << QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='900000' height='900000'/>") << "jpg"
            << "bomb.svg is too large to render (900000 × 900000 points)";
    }
    void refusalsLeaveNothingBehind()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, target);
        QFETCH(QString, message);
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        try {
            Job job({}, {}, 0);
            ImageEngine::convert(path(name), target, job, [](double) {});
            QFAIL("the conversion did not fail");
        } catch (const ConvertError& e) {
            QCOMPARE(e.message(), message);
        }
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{name});
    }

    void takenNamesAndCancelling()
    {
        QVERIFY(quadrants(16, 16).save(path("pic.bmp")));
        QCOMPARE(convert(path("pic.bmp"), "png"), QStringList{path("pic.png")});
        QCOMPARE(convert(path("pic.bmp"), "png"), QStringList{path("pic 2.png")});
        QVERIFY(hiddenIn(m_dir.path()).isEmpty());

        Job job({}, {}, 0);
        QList<double> reports;
        job.cancel();
        try {
            ImageEngine::convert(path("pic.bmp"), "tiff", job, [&](double p) { reports << p; });
            QFAIL("a cancelled job wrote its result");
        } catch (const ConvertError& e) {
            QVERIFY(e.isCancelled());
        }
        QCOMPARE(reports, QList<double>{0.4});
        QVERIFY(!QFile::exists(path("pic.tiff")));
    }

    void webpGoesThroughCwebpAtTheRoundedQuality()
    {
        QVERIFY(quadrants(40, 30).save(path("q.png")));
        // A cwebp that notes its arguments and then does the real work.
        QDir().mkpath(path("bin"));
        QFile script(path("bin/cwebp"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QString("#!/bin/sh\necho \"$@\" > '%1'\nexec /usr/bin/cwebp \"$@\"\n")
                         .arg(path("args"))
                         .toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("TOLVANE_SEARCH_PATH", path("bin").toUtf8());
        Settings::shared().setImageQuality(0.57);

        const QString out = convert(path("q.png"), "webp").first();
        QCOMPARE(QImageReader(out).format(), QByteArray("webp"));
        QCOMPARE(::corners(QImage(out)), QString("red green blue yellow"));
        QFile args(path("args"));
        QVERIFY(args.open(QIODevice::ReadOnly));
        QVERIFY2(args.readAll().startsWith("-quiet -mt -q 57 "), "quality 0.57 must give 57");

        qputenv("TOLVANE_SEARCH_PATH", path("nothing-here").toUtf8());
        try {
            convert(path("q.png"), "webp");
            QFAIL("converted without cwebp");
        } catch (const ConvertError& e) {
            QCOMPARE(e.kind(), ConvertError::Kind::missingTool);
            QCOMPARE(e.message(), QString("WebP export needs cwebp. Install it with: sudo apt install webp"));
        }
        QCOMPARE(ImageEngine::percent(0.29), 29);
        QCOMPARE(ImageEngine::percent(7), 100);
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
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                const QRgb a = smooth.pixel(x, y), b = indexed.palette[quint8(indexed.pixels[y * 256 + x])];
                error += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                         std::abs(qBlue(a) - qBlue(b));
            }
        QVERIFY2(error / (256.0 * 256 * 3) < 6, qPrintable(QString::number(error / (256.0 * 256 * 3))));
    }
};

QTEST_MAIN(ImageEngineTest)
#include "test_imageengine.moc"
