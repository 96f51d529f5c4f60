// CMYK JPEGs come out in the colours their profile gives them, as ImageMagick shows them; grey
// and RGB JPEGs decode as before; no written file carries a profile made for other pixels.

#include "engines/image/imageengine.h"

#include "core/converterror.h"

#include "../../support/cmykpictures.h"
#include "../../support/enginefixtures_a.h"

#include <QColorSpace>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

using namespace Fixture;

class CmykJpegTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    // With its CMYK profile or without one (the default profile then), to PNG, TIFF and JPG:
    // the colours ImageMagick's conversion shows, opaque, and no CMYK profile in the result.
    void convertsThroughItsProfile_data()
    {
        QTest::addColumn<bool>("withProfile");
        QTest::addColumn<QString>("target");
        for (const bool withProfile : {true, false})
            for (const QString target : {"png", "tiff", "jpg"})
                QTest::addRow("%s profile to %s", withProfile ? "with" : "without", qPrintable(target))
                    << withProfile << target;
    }
    void convertsThroughItsProfile()
    {
        QFETCH(bool, withProfile);
        QFETCH(QString, target);
        QTemporaryDir dir;
        const QString source = dir.filePath("print.jpg");
        QVERIFY(Cmyk::writePicture(source, {64, 48}, withProfile));
        QCOMPARE(Cmyk::profileSpace(source), withProfile ? QString("CMYK") : QString());
        const QImage shown = Cmyk::shownByImageMagick(source, withProfile);
        QVERIFY(!shown.isNull());

        Job job({}, {}, 0);
        const QStringList out = ImageEngine::convert(source, target, job, [](double) {});
        QCOMPARE(out.size(), 1);
        QVERIFY2(Cmyk::profileSpace(out[0]) != "CMYK", qPrintable(out[0]));
        const QImage result = QImage(out[0]);
        QCOMPARE(result.size(), QSize(64, 48));
        for (const QPoint at : Cmyk::probes(result.size())) {
            QCOMPARE(qAlpha(result.pixel(at)), 255);
            QCOMPARE(Cmyk::differs(result.pixel(at), shown.pixel(at)), QString());
        }
    }

    // A taller picture, converted in bands on several threads: every pixel as ImageMagick shows
    // it.
    void everyRowConverted()
    {
        const QString source = path("gradient.jpg");
        QCOMPARE(QProcess::execute("/usr/bin/convert",
                                   {"-size", "120x400", "gradient:rgb(250,200,20)-rgb(20,60,200)", "-profile",
                                    Cmyk::profiles + "srgb.icc", "-profile",
                                    Cmyk::profiles + "default_cmyk.icc", "-quality", "95", source}),
                 0);
        const QImage shown = Cmyk::shownByImageMagick(source, true);
        const QImage loaded = ImageEngine::load(source).image;
        QCOMPARE(loaded.size(), shown.size());
        for (int y = 0; y < loaded.height(); ++y)
            for (int x = 0; x < loaded.width(); x += 7)
                QCOMPARE(Cmyk::differs(loaded.pixel(x, y), shown.pixel(x, y), 3), QString());
    }

    // Grey and RGB JPEGs, tagged and not, load exactly as Qt's decoder reads them.
    void greyAndRgbAsBefore()
    {
        const QString system = Cmyk::profiles;
        const QList<QStringList> pictures{
            {"grey.jpg", "xc:rgb(120,120,120)", "-colorspace", "Gray", "-profile", system + "sgray.icc"},
            {"plaingrey.jpg", "xc:rgb(90,90,90)", "-colorspace", "Gray"},
            {"adobe.jpg", "xc:rgb(200,30,30)", "-profile", system + "a98.icc"},
            {"plain.jpg", "xc:rgb(20,120,220)"},
        };
        for (QStringList arguments : pictures) {
            const QString file = path(arguments.takeFirst());
            QCOMPARE(QProcess::execute("/usr/bin/convert",
                                       QStringList{"-size", "24x16"} + arguments + QStringList{file}),
                     0);
            QImageReader reader(file);
            reader.setAutoTransform(false);
            const QImage qt = reader.read();
            const QImage loaded = ImageEngine::load(file).image;
            QVERIFY2(loaded == qt, qPrintable(file));
            QVERIFY2(loaded.colorSpace() == qt.colorSpace(), qPrintable(file));
        }
    }

    // Pixels whose profile Qt can't apply (a CMYK one) go without it; RGB pixels with a grey
    // profile, as a tool's drawing of a grey photo has them, go in sRGB: as they look, with no
    // grey profile.
    void writtenProfilesFitThePixels()
    {
        QFile cmykProfile(Cmyk::profiles + "default_cmyk.icc");
        QVERIFY(cmykProfile.open(QIODevice::ReadOnly));
        QImage strayProfile(40, 20, QImage::Format_RGB32);
        strayProfile.fill(QColor(200, 53, 57));
        strayProfile.setColorSpace(QColorSpace::fromIccProfile(cmykProfile.readAll()));
        QVERIFY(!strayProfile.colorSpace().iccProfile().isEmpty());

        QVERIFY(QProcess::execute("/usr/bin/convert",
                                  {"-size", "40x20", "xc:rgb(120,120,120)", "-colorspace", "Gray", "-profile",
                                   Cmyk::profiles + "sgray.icc", path("grey.jpg")}) == 0);
        const QImage greyDrawn =
            ImageEngine::load(path("grey.jpg")).image.convertToFormat(QImage::Format_RGB32);
        QVERIFY(greyDrawn.colorSpace().isValid());

        for (const QString format : {"jpg", "tiff", "png", "heic"}) {
            const QString stray = path("stray." + format), grey = path("grey." + format);
            ImageEngine::write(strayProfile, stray, format, {}, 0.95, 72);
            ImageEngine::write(greyDrawn, grey, format, {}, 0.95, 72);
            QVERIFY2(Cmyk::profileSpace(stray).isEmpty(), qPrintable(stray));
            QVERIFY2(Cmyk::profileSpace(grey) != "GRAY", qPrintable(grey));
            const QImage strayBack = ImageEngine::load(stray).image, greyBack = ImageEngine::load(grey).image;
            QCOMPARE(Cmyk::differs(strayBack.pixel(20, 10), qRgb(200, 53, 57), 3), QString());
            QCOMPARE(Cmyk::differs(greyBack.pixel(20, 10), qRgb(139, 139, 139), 3), QString());
        }
    }

    // A CMYK JPEG cut short in its pixels still opens at its size, as other JPEGs do; one cut
    // in its header is refused, naming the file.
    void damagedPictures()
    {
        QVERIFY(Cmyk::writePicture(path("whole.jpg"), {64, 48}, true));
        QFile whole(path("whole.jpg"));
        QVERIFY(whole.open(QIODevice::ReadOnly));
        const QByteArray bytes = whole.readAll();
        const auto cut = [&](const QString& name, qsizetype size) {
            QFile file(path(name));
            return file.open(QIODevice::WriteOnly) && file.write(bytes.left(size)) == size;
        };
        const qsizetype pixels = bytes.lastIndexOf("\xff\xda"); // where the compressed pixels start
        QVERIFY(pixels > 0);
        QVERIFY(cut("short.jpg", (pixels + bytes.size()) / 2));
        QCOMPARE(ImageEngine::load(path("short.jpg")).image.size(), QSize(64, 48));
        QVERIFY(cut("header.jpg", 2000));
        const ConvertError e = failure([&] { ImageEngine::load(path("header.jpg")); });
        QVERIFY2(e.description().contains("header.jpg"), qPrintable(e.description()));
    }
};

QTEST_MAIN(CmykJpegTest)
#include "test_cmykjpeg.moc"
