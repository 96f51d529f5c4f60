// What a stripped or location-free copy of an image leaves behind, on files that exiftool,
// ImageMagick, heif-enc and cwebp wrote: a JPEG with a second picture behind a multi-picture
// index (kept, without its own location, when only the location goes), a two-page TIFF with
// tags on both pages, a PNG with compressed and international text, and photos named as another
// format than they hold.

#include "engines/metadata/heavy/imagecontent.h"
#include "engines/metadata/heavy/imagemetadata.h"
#include "engines/metadata/heavy/imagereadback.h"
#include "engines/metadata/heavy/imagetags.h"
#include "engines/metadata/heavy/locationrule.h"

#include "core/converterror.h"
#include "engines/image/imageengine.h"

#include "../../support/files.h"
#include "../../support/photobytes.h"

#include "../../support/programoutput.h"

#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QtEndian>
#include <QtTest>

namespace {

// exiftool's report of every tag it finds, embedded pictures and later pages included, with
// the groups the tags came from.
QString report(const QString& path)
{
    return programOutput("exiftool", {"-a", "-ee", "-G1", "-u", path});
}

// Tags that tell where, with what and by whom a picture was taken, the location in Exif and in
// XMP. GPSMapDatum is a text that sits outside its directory, so a byte search finds it where a
// directory was only unlinked.
QStringList personal(const QString& who, const QString& where)
{
    return {"-Artist=" + who,
            "-SerialNumber=SN-" + who,
            "-XMP-dc:Creator=" + who,
            "-GPSLatitude=48.85837",
            "-GPSLatitudeRef=N",
            "-GPSLongitude=2.294481",
            "-GPSLongitudeRef=E",
            "-GPSMapDatum=" + where,
            "-XMP-exif:GPSLatitude=48.85837 N",
            "-XMP-exif:GPSMapDatum=" + where};
}

bool tag(const QString& path, const QStringList& tags)
{
    return !programOutput("exiftool", QStringList{"-q", "-overwrite_original"} + tags + QStringList{path})
                .startsWith('<');
}

QList<QImage> pages(const QString& path)
{
    QList<QImage> out;
    QImageReader reader(path);
    for (int i = 0; i < reader.imageCount() && reader.jumpToImage(i); ++i)
        out << reader.read().convertToFormat(QImage::Format_ARGB32);
    return out;
}

} // namespace

class ImageStripTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // What of `texts` the file's bytes (readable()) or exiftool's report still hold, exiftool's
    // warnings, and a PNG chunk whose checksum pngcheck finds wrong; empty when the file is clean.
    static QString left(const QString& file, const QStringList& texts)
    {
        const QList<QByteArray> bytes = readable(readAll(file));
        const QString tags = report(file);
        QStringList found;
        if (bytes[0].startsWith("\x89PNG")) found << programOutput("pngcheck", {"-q", file});
        found.removeAll(QString());
        for (const QString& t : texts)
            if (tags.contains(t) || std::any_of(bytes.begin(), bytes.end(),
                                                [&](const QByteArray& b) { return b.contains(t.toUtf8()); }))
                found << t;
        if (found.isEmpty() && !tags.startsWith('<') && !tags.contains("Warning")) return {};
        return file + " holds " + found.join(", ") + "\n" + tags;
    }

  private slots:
    void jpegWithASecondPicture()
    {
        const QString first = path("first.jpg"), second = path("second.jpg");
        QVERIFY(programOutput("/usr/bin/convert", {"-size", "64x48", "gradient:red-blue", first}).isEmpty());
        QVERIFY(
            programOutput("/usr/bin/convert", {"-size", "32x24", "gradient:green-yellow", second}).isEmpty());
        QVERIFY(
            programOutput("/usr/bin/convert", {"-size", "16x12", "xc:orange", path("thumb.jpg")}).isEmpty());
        // An Exif thumbnail ends in its own FF D9 long before the first picture does.
        QVERIFY(
            tag(first, personal("Ann", "DatumOne") +
                           QStringList{"-Comment=Ann's comment", "-ThumbnailImage<=" + path("thumb.jpg")}));
        QVERIFY(tag(second, personal("Bob", "DatumTwo") + QStringList{"-Comment=Bob's comment"}));
        const QString phone =
            writeFile(path("phone.jpg"), withSecondPicture(readAll(first), readAll(second)));
        const QString before = report(phone);
        QVERIFY2(before.contains("[MPImage2]") && before.contains("SN-Bob") && before.contains("DatumTwo"),
                 qPrintable(before));
        const QImage picture = QImage(first).convertToFormat(QImage::Format_ARGB32);

        MetadataEngine::writeImage(phone, path("bare.jpg"), {}, true, false);
        QCOMPARE(
            left(path("bare.jpg"), {"Ann", "Bob", "Datum", "MPF", "MPImage", "GPS", "Serial", "Comment"}),
            QString());
        QCOMPARE(QImage(path("bare.jpg")).convertToFormat(QImage::Format_ARGB32), picture);

        // Without the location both pictures keep their other tags, and the index still points at
        // the second, whole.
        MetadataEngine::writeImage(phone, path("nowhere.jpg"), {}, false, true);
        QCOMPARE(left(path("nowhere.jpg"), {"Datum", "GPS"}), QString());
        const QString kept = report(path("nowhere.jpg"));
        QVERIFY2(kept.contains("SN-Ann") && kept.contains("Ann's comment") &&
                     kept.contains("Thumbnail Image") && kept.contains("[MPImage2]") &&
                     kept.contains("SN-Bob"),
                 qPrintable(kept));
        QCOMPARE(QImage(path("nowhere.jpg")).convertToFormat(QImage::Format_ARGB32), picture);
        QProcess extract;
        extract.start("exiftool", {"-b", "-MPImage2:PreviewImage", path("nowhere.jpg")});
        QVERIFY(extract.waitForFinished(60000) && extract.exitCode() == 0);
        QCOMPARE(QImage::fromData(extract.readAllStandardOutput()).convertToFormat(QImage::Format_ARGB32),
                 QImage(second).convertToFormat(QImage::Format_ARGB32));
        // An edit alone keeps both pictures as they were.
        MetadataEngine::writeImage(phone, path("titled.jpg"), {{"title", "Title", "Tower"}}, false, false);
        QVERIFY2(report(path("titled.jpg")).contains("Tower") &&
                     report(path("titled.jpg")).contains("DatumTwo") &&
                     !report(path("titled.jpg")).contains("Warning"),
                 qPrintable(report(path("titled.jpg"))));

        // A picture cut short has no end to find; its scans stay as far as they go.
        const QByteArray whole = readAll(first);
        writeFile(path("cut.jpg"), whole.left(whole.size() - 6));
        MetadataEngine::writeImage(path("cut.jpg"), path("cut bare.jpg"), {}, true, false);
        QVERIFY(!readAll(path("cut bare.jpg")).contains("Ann"));
        QVERIFY(readAll(path("cut bare.jpg")).endsWith(whole.left(whole.size() - 6).right(40)));
    }

    void tiffWithTagsOnEveryPage()
    {
        const QString pageTwo = path("page2.tif");
        QVERIFY(programOutput("/usr/bin/convert",
                              {"-size", "20x10", "-depth", "8", "gradient:blue-white", pageTwo})
                    .isEmpty());
        QVERIFY(tag(pageTwo, personal("Carl", "DatumTwo") + QStringList{"-ImageDescription=Carl's page"}));
        const QString scan = writeFile(path("scan.tif"), withPageBefore(readAll(pageTwo)));
        // exiftool writes page 1's location into every GPS directory it finds, page 2's too.
        QVERIFY(tag(scan, personal("Ann", "DatumOne")));
        const QString before = report(scan);
        QVERIFY2(before.contains("Carl's page") && before.contains("[IFD1]") && before.contains("SN-Ann"),
                 qPrintable(before));
        QVERIFY2(programOutput("tiffinfo", {scan}).count("GPS directory") == 2,
                 qPrintable(programOutput("tiffinfo", {scan})));
        const QList<QImage> original = pages(scan);
        QCOMPARE(original.size(), 2);

        // Every page keeps its pixels and no tag of any page is left.
        MetadataEngine::writeImage(scan, path("bare.tif"), {}, true, false);
        QCOMPARE(
            left(path("bare.tif"), {"Ann", "Carl", "Datum", "GPS", "Serial", "Artist", "Description", "XMP"}),
            QString());
        QCOMPARE(pages(path("bare.tif")), original);
        QVERIFY(!programOutput("tiffinfo", {path("bare.tif")}).contains("directory within"));
        // Compressions that keep their tables and predictor in tags still decode.
        for (const QStringList& how : {QStringList{"-c", "lzw:2"}, QStringList{"-c", "jpeg"}}) {
            const QString packed = path("packed.tif");
            QCOMPARE(programOutput("tiffcp", how + QStringList{"-r", "16", scan, packed}), QString());
            const QString bare = path(how[1].left(4) + " bare.tif");
            MetadataEngine::writeImage(packed, bare, {}, true, false);
            QCOMPARE(left(bare, {"Ann", "Carl"}), QString());
            const QList<QImage> decoded = pages(packed);
            QVERIFY2(decoded.size() == 2 && !decoded[0].isNull() && !decoded[1].isNull(),
                     qPrintable(how.join(" ") + QString::number(decoded.size())));
            QCOMPARE(pages(bare), decoded);
            QFile::remove(packed);
        }

        // Without the location, neither page has one, and the rest of both pages' tags stay.
        MetadataEngine::writeImage(scan, path("nowhere.tif"), {}, false, true);
        QCOMPARE(left(path("nowhere.tif"), {"Datum", "GPS"}), QString());
        const QString kept = report(path("nowhere.tif"));
        QVERIFY2(kept.contains("Carl's page") && kept.contains("SN-Ann") && kept.contains("[IFD1]"),
                 qPrintable(kept));
        QCOMPARE(pages(path("nowhere.tif")), original);

        // exiv2 would keep four pages at most and leave page 2's directories dangling: a title
        // for a scan of several pages is refused rather than saved on a damaged copy.
        QString why;
        try {
            MetadataEngine::writeImage(scan, path("titled.tif"), {{"title", "Title", "Scan"}}, false, false);
        } catch (const ConvertError& e) {
            why = e.message();
        }
        QCOMPARE(why, QStringLiteral("Title can’t be saved in TIFF files of several pages"));
        MetadataEngine::writeImage(pageTwo, path("titled.tif"), {{"title", "Title", "Scan"}}, false, true);
        QVERIFY(report(path("titled.tif")).contains("Scan"));
        QCOMPARE(left(path("titled.tif"), {"Datum", "GPS"}), QString());
    }

    void pngCompressedAndInternationalText()
    {
        const QString png = path("shot.png");
        QVERIFY(programOutput("/usr/bin/convert", {"-size", "20x10", "xc:red", png}).isEmpty());
        const QString long_ = QString("Rue de Rivoli 99, Paris; ").repeated(6);
        // exiftool writes compressed text as zTXt and a text with a language as iTXt.
        QVERIFY(tag(png, {"-api", "Compress=1", "-PNG:Comment=" + long_, "-PNG:Title-de=" + long_}));
        const QString before = report(png);
        QVERIFY2(before.contains("Rue de Rivoli") && before.contains("Title (de)"), qPrintable(before));
        QVERIFY(!readAll(png).contains("Rivoli")); // both are compressed
        QVERIFY(readAll(png).contains("zTXt") && readAll(png).contains("iTXt"));

        MetadataEngine::writeImage(png, path("shot bare.png"), {}, true, false);
        QCOMPARE(left(path("shot bare.png"), {"Rivoli", "Title", "Comment"}), QString());
        const QByteArray bare = readAll(path("shot bare.png"));
        QVERIFY(!bare.contains("zTXt") && !bare.contains("iTXt"));
        QCOMPARE(QImage(path("shot bare.png")), QImage(png));

        // What follows the end goes, and the text before it goes all the same.
        writeFile(path("trailed.png"), readAll(png) + QByteArray(16, '\xFF'));
        MetadataEngine::writeImage(path("trailed.png"), path("trailed bare.png"), {}, true, false);
        QCOMPARE(readAll(path("trailed bare.png")), bare);
    }

    // A stripped copy is made of what shows the picture: nothing of what photos converted by
    // GraphicsMagick, vips and Pillow, or tagged by exiv2, hold besides is left in its bytes, in
    // parts no reader knows neither, and it shows the same picture, every frame, page and
    // sub-picture of it.
    void strippedCopiesKeepOnlyThePicture_data()
    {
        QTest::addColumn<QList<QStringList>>("make"); // SRC: a photo tagged by exiftool; OUT: the source
        QTest::addColumn<QString>("ext");
        QTest::addColumn<bool>("unknownPart");
        const auto python = [](const QString& script) {
            return QStringList{
                "/usr/bin/python3", "-c",
                "import sys\nfrom PIL import Image, PngImagePlugin\nim = Image.open(sys.argv[1])\n" + script,
                "SRC", "OUT"};
        };
        const QStringList exiv2 =
            QString("exiv2|-M|set Xmp.dc.creator Ann Smith|-M|set Exif.Image.Artist Ann "
                    "Smith|-M|set Exif.Photo.UserComment Marseille 43.2917|OUT")
                .split('|');
        for (const QString ext : {"webp", "png", "tif", "jpg"}) {
            QTest::addRow("gm %s", qPrintable(ext))
                << QList<QStringList>{{"gm", "convert", "SRC", "OUT"}} << ext << false;
            QTest::addRow("vips %s", qPrintable(ext)) << QList<QStringList>{{"vips", "copy", "SRC", "OUT"}}
                                                      << ext << (ext == "jpg" || ext == "webp");
            if (ext != "tif")
                QTest::addRow("exiv2 %s", qPrintable(ext))
                    << QList<QStringList>{{"gm", "convert", "SRC", "-strip", "OUT"}, exiv2} << ext << false;
        }
        // Smaller sizes in sub-directories below the page, as DNG previews and scanners' pyramids.
        QTest::newRow("vips tif, sub-pictures")
            << QList<QStringList>{{"vips", "tiffsave", "SRC", "OUT", "--tile", "--tile-width", "16",
                                   "--tile-height", "16", "--pyramid", "--subifd"}}
            << "tif" << false;
        QTest::newRow("Pillow png, text and a private chunk")
            << QList<QStringList>{python("i = PngImagePlugin.PngInfo()\ni.add_text('Author', 'Ann Smith')\n"
                                         "i.add_itxt('Place', 'Marseille 43.2917 5.3778', zip=True)\n"
                                         "i.add(b'prVt', b'SN-4711')\n"
                                         "im.save(sys.argv[2], pnginfo=i, exif=im.info['exif'])")}
            << "png" << false;
        QTest::newRow("Pillow tif, a private tag")
            << QList<QStringList>{python(
                   "im.save(sys.argv[2], tiffinfo={315: 'Ann Smith', 60123: 'Marseille SN-4711'})")}
            << "tif" << false;
        for (const QString ext : {"gif", "webp"})
            QTest::addRow("Pillow animated %s", qPrintable(ext))
                << QList<QStringList>{python(
                       "im.save(sys.argv[2], comment=b'Ann Smith in Marseille', exif=im.info['exif'], "
                       "save_all=True, append_images=[im.rotate(180)], loop=0, duration=100)")}
                << ext << (ext == "webp");
    }
    void strippedCopiesKeepOnlyThePicture()
    {
        QFETCH(QList<QStringList>, make);
        QFETCH(QString, ext);
        QFETCH(bool, unknownPart);
        const QString camera = path("camera.jpg"), photo = path(QString(QTest::currentDataTag()) + "." + ext);
        if (!QFile::exists(camera)) {
            QVERIFY(
                programOutput("gm", {"convert", "-size", "64x48", "gradient:red-blue", camera}).isEmpty());
            QVERIFY(tag(camera, {"-Artist=Ann Smith", "-SerialNumber=SN-4711", "-XMP-dc:Creator=Ann Smith",
                                 "-GPSLatitude=43.2917", "-GPSLatitudeRef=N", "-GPSLongitude=5.3778",
                                 "-GPSLongitudeRef=E", "-XMP-photoshop:City=Marseille",
                                 "-IPTC:City=Marseille", "-Comment=Ann Smith in Marseille"}));
        }
        for (QStringList command : make) {
            command.replaceInStrings(QRegularExpression("^SRC$"), camera)
                .replaceInStrings(QRegularExpression("^OUT$"), photo);
            QVERIFY2(!programOutput(command[0], command.mid(1)).startsWith('<'),
                     qPrintable(command.join(' ')));
        }
        if (unknownPart) writeFile(photo, withUnknownPart(readAll(photo), ext));
        const QStringList values{"Ann Smith", "SN-4711", "Marseille", "43.29",
                                 "43,17",     "43 deg",  "5.377",     "5,22"};
        const QByteArray before = readable(readAll(photo)).join();
        QVERIFY(before.contains("Ann Smith") && before.contains("Marseille"));

        const QString bare = path(QString(QTest::currentDataTag()) + " bare." + ext);
        MetadataEngine::writeImage(photo, bare, {}, true, false);
        QCOMPARE(left(bare, values), QString());
        QCOMPARE(pages(bare), pages(photo));
        const auto subPicture = [&](const QString& file) {
            programOutput("vips", {"copy", file + "[subifd=0]", file + ".png"});
            return QImage(file + ".png");
        };
        if (ext != "tif") return;
        QCOMPARE(subPicture(photo).isNull(), !QString(QTest::currentDataTag()).contains("sub-pictures"));
        QCOMPARE(subPicture(bare), subPicture(photo));
    }

    // Phones and sharing apps hand out HEIC photos named .jpg: each photo is read and written as
    // what it holds, and its copy keeps no tag that the strip or the location removal takes away.
    void photosNamedAsAnotherFormat_data()
    {
        QTest::addColumn<QString>("made");
        QTest::addColumn<QString>("named");
        QTest::newRow("HEIC named .jpg") << "heic"
                                         << "jpg";
        QTest::newRow("AVIF named .png") << "avif"
                                         << "png";
        QTest::newRow("WebP named .jpg") << "webp"
                                         << "jpg";
        QTest::newRow("PNG named .jpg") << "png"
                                        << "jpg";
    }
    void photosNamedAsAnotherFormat()
    {
        QFETCH(QString, made);
        QFETCH(QString, named);
        const QString dir = path(made) + "/";
        QVERIFY(QDir().mkpath(dir));
        const QString png = dir + "picture.png", original = dir + "photo." + made;
        // heif-enc's AV1 encoder takes 8-bit pictures only.
        QVERIFY(programOutput("/usr/bin/convert",
                              {"-size", "64x48", "gradient:red-blue", "-depth", "8", "PNG24:" + png})
                    .isEmpty());
        const QStringList encode = made == "webp"  ? QStringList{"cwebp", "-quiet", png, "-o", original}
                                   : made == "png" ? QStringList{"cp", png, original}
                                                   : QStringList{"heif-enc", "-q", "80", png, "-o", original};
        QVERIFY(!programOutput(encode[0], encode.mid(1)).startsWith('<'));
        QVERIFY(tag(original, personal("Ann", "DatumOne")));
        const QString photo = dir + "photo." + named;
        QVERIFY(QFile::rename(original, photo));
        const QString before = report(photo);
        QVERIFY2(before.contains("SN-Ann") && before.contains("GPS Latitude") && before.contains("DatumOne"),
                 qPrintable(before));

        // The window reads the location, so it offers to remove it.
        const ImageFields read = MetadataEngine::imageFields(photo);
        QVERIFY(read.hasGPS);
        QVERIFY2(read.info.contains(
                     qMakePair(QStringLiteral("Location"), QStringLiteral("48.8584° N, 2.2945° E"))),
                 qPrintable(made));
        QVERIFY(read.info.contains(qMakePair(QStringLiteral("Size"), QStringLiteral("64 × 48"))));

        const QString bare = dir + "bare." + named;
        MetadataEngine::writeImage(photo, bare, {}, true, false);
        QCOMPARE(left(bare, {"Ann", "Datum", "GPS", "Serial", "Artist", "Creator"}), QString());
        QCOMPARE(ImageContent::formatOf(bare), std::optional<QString>(made));
        QCOMPARE(ImageEngine::load(bare).image.size(), QSize(64, 48));

        const QString nowhere = dir + "nowhere." + named;
        MetadataEngine::writeImage(photo, nowhere, {}, false, true);
        QCOMPARE(left(nowhere, {"Datum", "GPS"}), QString());
        QVERIFY2(report(nowhere).contains("SN-Ann"), qPrintable(report(nowhere)));
        QVERIFY(!MetadataEngine::imageFields(nowhere).hasGPS);
    }

    // A title, a location removal and a strip of a HEIF photo copy its coded pictures: the bit
    // depth, the chroma, a second picture, every pixel and the size stay; only the tags change.
    void heifWritesKeepThePictures_data()
    {
        QTest::addColumn<QStringList>("encode"); // %1 and %3 two pictures, %2 the file written
        QTest::addColumn<QString>("coding");     // what the source's coding must show
        QTest::addColumn<bool>("relaid");        // laid out anew by heifRelayOut once tagged
        QTest::newRow("10-bit HEIC") << QStringList{"heif-enc", "-q", "30", "%1", "-o", "%2.heic"}
                                     << "Bit Depth Luma                  : 10" << false;
        QTest::newRow("4:4:4 AVIF") << QStringList{"avifenc", "-d",    "8",  "-y", "444",    "--min",
                                                   "40",      "--max", "50", "%1", "%2.avif"}
                                    << "Chroma Format                   : YUV 4:4:4" << false;
        // ffmpeg lays its items out in its own way.
        QTest::newRow("4:4:4 AVIF by ffmpeg")
            << QStringList{"ffmpeg",     "-loglevel",      "error", "-i",     "%1", "-c:v",
                           "libaom-av1", "-cpu-used",      "8",     "-crf",   "40", "-pix_fmt",
                           "yuv444p",    "-still-picture", "1",     "%2.avif"}
            << "Chroma Format                   : YUV 4:4:4" << false;
        QTest::newRow("two-picture HEIC")
            << QStringList{"heif-enc", "-q", "30", "%1", "%3", "-o", "%2.heic"} << "pictures: 2" << false;
        QTest::newRow("two-picture HEIC laid out anew")
            << QStringList{"heif-enc", "-q", "30", "%1", "%3", "-o", "%2.heic"} << "pictures: 2" << true;
    }
    void heifWritesKeepThePictures()
    {
        QFETCH(QStringList, encode);
        QFETCH(QString, coding);
        QFETCH(bool, relaid);
        const QString photo = path(QTest::currentDataTag()), png = photo + ".png", second = photo + " 2.png";
        for (const QString& picture : encode.contains("%3") ? QStringList{png, second} : QStringList{png})
            QVERIFY(programOutput("/usr/bin/convert",
                                  {"-seed", QString::number(picture.size()), "-size", "256x192",
                                   "plasma:fractal", "-depth", "16", "PNG48:" + picture})
                        .isEmpty());
        QStringList args = encode.mid(1);
        for (QString& a : args)
            a.replace("%1", png).replace("%2", photo).replace("%3", second);
        QVERIFY(!programOutput(encode[0], args).startsWith('<'));
        const QString source = args.last(), ext = "." + QFileInfo(source).suffix();
        // A photo without tags is given an Exif item for its title.
        const QString fresh = photo + " fresh" + ext;
        MetadataEngine::writeImage(source, fresh, {{"title", "Title", "Sky"}}, false, false);
        QVERIFY(tag(source, personal("Ann", "DatumOne")));
        if (relaid) QVERIFY(programOutput("python3", {"-c", heifRelayOut, source, source}).isEmpty());
        // The coding of every picture, and every picture decoded.
        const auto codingOf = [](const QString& file) {
            QStringList lines =
                programOutput("exiftool", {"-a", "-validate", "-warning", "-QuickTime:all", file})
                    .split('\n')
                    .filter(QRegularExpression("Bit Depth|Chroma|Pixel Depth|Spatial|Validate|Warn"));
            lines << "pictures: " + QString::number(programOutput("heif-info", {file}).count("\nimage:"));
            return lines.join('\n');
        };
        const auto decoded = [this](const QString& file) {
            QDir(path("decoded")).removeRecursively();
            QDir().mkpath(path("decoded"));
            programOutput("heif-convert", {file, path("decoded/p.png")});
            QList<QImage> out;
            for (const QFileInfo& f : QDir(path("decoded")).entryInfoList({"*.png"}, QDir::Files, QDir::Name))
                out << QImage(f.filePath());
            return out;
        };
        const QString sourceCoding = codingOf(source);
        QVERIFY2(sourceCoding.contains(coding), qPrintable(sourceCoding));
        const QList<QImage> pictures = decoded(source);
        QVERIFY(!pictures.isEmpty());

        const QString titled = photo + " titled" + ext, nowhere = photo + " nowhere" + ext,
                      bare = photo + " bare" + ext;
        MetadataEngine::writeImage(source, titled, {{"title", "Title", "Sky"}}, false, false);
        MetadataEngine::writeImage(source, nowhere, {}, false, true);
        MetadataEngine::writeImage(source, bare, {}, true, false);
        for (const QString& copy : {fresh, titled, nowhere, bare}) {
            QCOMPARE(codingOf(copy), sourceCoding);
            QVERIFY2(decoded(copy) == pictures, qPrintable(copy));
            QVERIFY2(QFileInfo(copy).size() < QFileInfo(source).size() + 256, qPrintable(copy));
        }
        QVERIFY2(report(fresh).contains("Sky"), qPrintable(report(fresh)));
        const QString titledTags = report(titled);
        QVERIFY2(titledTags.contains("Sky") && titledTags.contains("SN-Ann"), qPrintable(titledTags));
        QCOMPARE(left(nowhere, {"Datum", "GPS"}), QString());
        QVERIFY2(report(nowhere).contains("SN-Ann"), qPrintable(report(nowhere)));
        QCOMPARE(left(bare, {"Ann", "Datum", "GPS", "Serial", "Artist", "Creator"}), QString());
    }

    // What a copy still holds of what was to go, read by what the file is.
    void leftoversOfAPhoto()
    {
        const QString png = path("left.png"), heic = path("left.heic");
        QVERIFY(
            programOutput("/usr/bin/convert", {"-size", "32x24", "xc:teal", "-depth", "8", "PNG24:" + png})
                .isEmpty());
        QVERIFY(!programOutput("heif-enc", {"-q", "80", png, "-o", heic}).startsWith('<'));
        const auto leftovers = [](const QString& file, bool strip) {
            const std::optional<ImageTags> tags = ImageTags::read(file, *ImageContent::formatOf(file));
            return tags ? tags->leftovers(strip) : QStringList{"<unreadable>"};
        };
        QCOMPARE(leftovers(heic, true), QStringList());
        QVERIFY(tag(heic, personal("Ann", "DatumOne")));
        QCOMPARE(leftovers(heic, true), (QStringList{"the location", "the Exif tags", "the XMP tags"}));
        QCOMPARE(leftovers(heic, false), QStringList{"the location"});
        // The location in XMP alone still counts.
        QVERIFY(tag(heic, {"-EXIF:all="}));
        QCOMPARE(leftovers(heic, false), QStringList{"the location"});
        QCOMPARE(leftovers(heic, true), (QStringList{"the location", "the XMP tags"}));

        const QString jpg = path("left.jpg");
        QVERIFY(programOutput("/usr/bin/convert", {png, jpg}).isEmpty());
        QVERIFY(tag(jpg, {"-Comment=Ann's", "-IPTC:Keywords=sea", "-Orientation#=6"}));
        QCOMPARE(leftovers(jpg, true), (QStringList{"the IPTC tags", "the comment"}));
        QCOMPARE(leftovers(jpg, false), QStringList());
        MetadataEngine::writeImage(jpg, path("left bare.jpg"), {}, true, false);
        QCOMPARE(leftovers(path("left bare.jpg"), true), QStringList());

        // A copy that exiv2 can't open is not kept unjudged.
        writeFile(path("broken.jpg"), QByteArray("\xFF\xD8\xFF\xE1\x7F\xF0", 6));
        QString why;
        try {
            ImageReadBack::refuseLeftovers(path("broken.jpg"), "left.jpg", "jpg", true, LocationRule());
        } catch (const ConvertError& e) {
            why = e.message();
        }
        QCOMPARE(why, QStringLiteral(
                          "Couldn’t read back the copy of left.jpg to check its tags, so no copy was saved"));
    }

    void formatsToldByTheirBytes()
    {
        const auto ftyp = [](const QByteArray& brands) {
            QByteArray box =
                QByteArray(4, '\0') + "ftyp" + brands.left(4) + QByteArray(4, '\0') + brands.mid(4);
            qToBigEndian<quint32>(quint32(box.size()), box.data());
            return box + QByteArray("\0\0\0\x08meta", 8);
        };
        const QList<std::pair<QByteArray, std::optional<QString>>> cases{
            {ftyp("heicmif1heic"), "heic"},
            {ftyp("mif1mif1heicmiaf"), "heic"},
            {ftyp("msf1msf1hevc"), "heic"},
            {ftyp("heixmif1"), "heic"},
            {ftyp("heismsf1"), "heic"},
            {ftyp("mif1mif1miafavif"), "avif"},
            {ftyp("avifavifmif1"), "avif"},
            {ftyp("avismsf1"), "avif"},
            {ftyp("mif1mif1"), "heic"},
            {ftyp("isomisomavc1"), {}},
            {ftyp("qt  qt  "), {}},
            {"\xFF\xD8\xFF\xE0", "jpg"},
            {"\x89PNG\r\n\x1A\n", "png"},
            {QByteArray("RIFF\x10\0\0\0WEBPVP8 ", 16), "webp"},
            {"GIF89a", "gif"},
            {QByteArray("MM\0*\0\0\0\x08", 8), "tiff"},
            {"<svg>", {}}};
        for (const auto& [head, format] : cases)
            QVERIFY2(ImageContent::format(head) == format, head.toHex().constData());
    }
};

QTEST_MAIN(ImageStripTest)
#include "test_imagestrip.moc"
