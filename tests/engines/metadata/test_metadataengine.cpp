// The metadata engine's round trips on files made here and tagged with exiv2, qpdf and ffmpeg:
// read, edit (untouched tags stay; a PDF's edit holds all its fields) and strip (orientation
// kept, locations, XMP and the cover art's own tags gone) for JPEG, PNG, WebP, GIF, PDF, MP3 and MP4.

#include "engines/image/imageengine.h"
#include "engines/metadata/heavy/gifblocks.h"
#include "engines/metadata/heavy/imagemetadata.h"
#include "engines/metadata/heavy/pdfmetadata.h"
#include "engines/metadata/mediametadata.h"

#include "../../support/enginefixtures_a.h"
#include "../../support/enginefixtures_b.h"
#include "../../support/minipdf.h"

#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>
#include <exiv2/exiv2.hpp>
#include <poppler-qt6.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include "core/job.h"

namespace {

using Exiv = Exiv2::Image::AutoPtr;

Exiv open(const QString& path)
{
    Exiv image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
    image->readMetadata();
    return image;
}

// A camera's tags: make, model, author, time, a location near the tower in Paris, orientation
// 6 and three keywords.
void tagLikeACamera(const QString& path, bool iptc = true)
{
    Exiv image = open(path);
    Exiv2::ExifData& exif = image->exifData();
    exif["Exif.Image.Make"] = "Tolvane";
    exif["Exif.Image.Model"] = "T1";
    exif["Exif.Image.Artist"] = "Ann";
    exif["Exif.Image.Copyright"] = "(c) Ann";
    exif["Exif.Image.Orientation"] = uint16_t(6);
    exif["Exif.Photo.DateTimeOriginal"] = "2024:05:01 10:20:30";
    exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
    exif["Exif.GPSInfo.GPSLatitude"] = Exiv2::Rational(4885837, 100000);
    exif["Exif.GPSInfo.GPSLatitude"].setValue("4885837/100000 0/1 0/1");
    exif["Exif.GPSInfo.GPSLongitudeRef"] = "E";
    exif["Exif.GPSInfo.GPSLongitude"].setValue("2294481/1000000 0/1 0/1");
    if (iptc) {
        for (const char* word : {"sun", "sea"}) {
            Exiv2::StringValue v(word);
            image->iptcData().add(Exiv2::IptcKey("Iptc.Application2.Keywords"), &v);
        }
    }
    image->xmpData()["Xmp.dc.creator"] = "Ann";
    image->writeMetadata();
}

QMap<QString, QString> exifOf(const QString& path)
{
    QMap<QString, QString> out;
    Exiv image = open(path);
    for (const auto& d : image->exifData())
        out.insert(QString::fromStdString(d.key()), QString::fromStdString(d.toString()));
    for (const auto& d : image->iptcData())
        out.insert(QString::fromStdString(d.key()),
                   out.value(QString::fromStdString(d.key())) + "|" + QString::fromStdString(d.toString()));
    for (const auto& d : image->xmpData())
        out.insert(QString::fromStdString(d.key()), QString::fromStdString(d.toString()));
    return out;
}

bool hasGPS(const QMap<QString, QString>& tags)
{
    for (const QString& key : tags.keys())
        if (key.contains("GPS")) return true;
    return false;
}

MetaField field(const QString& key, const QString& value)
{
    return {key, {}, value};
}

QString valueOf(const QList<MetaField>& fields, const QString& key)
{
    for (const MetaField& f : fields)
        if (f.key == key) return f.value;
    return "<none>";
}

bool run(const QString& program, const QStringList& args, QByteArray* out = nullptr)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return false;
    if (out) *out = p.readAllStandardOutput();
    return true;
}

QJsonObject probe(const QString& path)
{
    QByteArray out;
    run("ffprobe", {"-v", "error", "-print_format", "json", "-show_format", "-show_streams", path}, &out);
    return QJsonDocument::fromJson(out).object();
}

} // namespace

class MetadataEngineTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase() { Exiv2::XmpParser::initialize(); }

    void jpegReadEditAndStrip()
    {
        QImage portrait(60, 40, QImage::Format_RGB32);
        portrait.fill(Qt::darkGreen);
        QVERIFY(portrait.save(path("photo.jpg")));
        tagLikeACamera(path("photo.jpg"));

        const ImageFields read = MetadataEngine::imageFields(path("photo.jpg"));
        QCOMPARE(valueOf(read.editable, "title"), QString());
        QCOMPARE(valueOf(read.editable, "author"), QStringLiteral("Ann"));
        QCOMPARE(valueOf(read.editable, "copyright"), QStringLiteral("(c) Ann"));
        QCOMPARE(valueOf(read.editable, "keywords"), QStringLiteral("sun, sea"));
        const QList<QPair<QString, QString>> info{{"Camera", "Tolvane T1"},
                                                  {"Taken", "2024:05:01 10:20:30"},
                                                  {"Size", "60 × 40"},
                                                  {"Location", "48.8584° N, 2.2945° E"}};
        QCOMPARE(read.info, info);
        QVERIFY(read.hasGPS);

        // Only the title changed: the author, the keywords and the location stay.
        MetadataEngine::writeImage(path("photo.jpg"), path("titled.jpg"), {field("title", "Beach")}, false,
                                   false);
        QMap<QString, QString> tags = exifOf(path("titled.jpg"));
        QCOMPARE(tags.value("Exif.Image.ImageDescription"), QStringLiteral("Beach"));
        QCOMPARE(tags.value("Exif.Image.Artist"), QStringLiteral("Ann"));
        QCOMPARE(tags.value("Iptc.Application2.Keywords"), QStringLiteral("|sun|sea"));
        QVERIFY(hasGPS(tags));

        // Keywords by the keyword rule; the author cleared; the location removed alone.
        MetadataEngine::writeImage(path("photo.jpg"), path("edited.jpg"),
                                   {field("keywords", " sun, \t , beach ,sea"), field("author", "")}, false,
                                   true);
        tags = exifOf(path("edited.jpg"));
        QCOMPARE(tags.value("Iptc.Application2.Keywords"), QStringLiteral("|sun|beach|sea"));
        QVERIFY(!tags.contains("Exif.Image.Artist") && !tags.contains("Xmp.dc.creator"));
        QVERIFY(!hasGPS(tags));
        QCOMPARE(tags.value("Exif.Image.Make"), QStringLiteral("Tolvane"));

        MetadataEngine::writeImage(path("photo.jpg"), path("bare.jpg"), {field("title", "ignored")}, true,
                                   true);
        tags = exifOf(path("bare.jpg"));
        QCOMPARE(tags.keys(), QStringList{"Exif.Image.Orientation"});
        QCOMPARE(tags.value("Exif.Image.Orientation"), QStringLiteral("6"));
        QCOMPARE(ImageEngine::load(path("bare.jpg")).image.size(), QSize(40, 60)); // still upright
    }

    void pngAndWebpRoundTrips()
    {
        QImage picture(30, 20, QImage::Format_ARGB32);
        picture.fill(Qt::red);
        picture.setText("Author", "Someone");
        QVERIFY(picture.save(path("shot.png")));
        tagLikeACamera(path("shot.png"));
        MetadataEngine::writeImage(path("shot.png"), path("shot bare.png"), {}, true, true);
        QCOMPARE(exifOf(path("shot bare.png")).keys(), QStringList{"Exif.Image.Orientation"});
        QVERIFY(!readAll(path("shot bare.png")).contains("Someone"));
        QVERIFY(QImage(path("shot bare.png")).text("Author").isEmpty());
        MetadataEngine::writeImage(path("shot.png"), path("shot tagged.png"), {field("copyright", "CC")},
                                   false, false);
        const QMap<QString, QString> png = exifOf(path("shot tagged.png"));
        QCOMPARE(png.value("Exif.Image.Copyright"), QStringLiteral("CC"));
        QCOMPARE(png.value("Exif.Image.Artist"), QStringLiteral("Ann"));

        ImageEngine::writeWebP(picture, path("pic.webp"), 0.8);
        tagLikeACamera(path("pic.webp"), false);
        QVERIFY(MetadataEngine::imageFields(path("pic.webp")).hasGPS);
        // WebP has no IPTC: keywords go into XMP and read back.
        MetadataEngine::writeImage(path("pic.webp"), path("pic tagged.webp"), {field("keywords", "a, b")},
                                   false, false);
        QCOMPARE(valueOf(MetadataEngine::imageFields(path("pic tagged.webp")).editable, "keywords"),
                 QStringLiteral("a, b"));
        QCOMPARE(valueOf(MetadataEngine::imageFields(path("pic tagged.webp")).editable, "author"),
                 QStringLiteral("Ann"));
        MetadataEngine::writeImage(path("pic.webp"), path("pic bare.webp"), {}, true, true);
        const ImageFields bare = MetadataEngine::imageFields(path("pic bare.webp"));
        QVERIFY(!bare.hasGPS);
        QCOMPARE(valueOf(bare.editable, "author"), QString());
        QVERIFY(!QImageReader(path("pic bare.webp")).read().isNull());
    }

    void animatedGifKeepsEveryFrame()
    {
        QVERIFY(run("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                               "testsrc=size=32x32:rate=5:duration=1", path("anim.gif")}));
        QByteArray gif = readAll(path("anim.gif"));
        QCOMPARE(QImageReader(path("anim.gif")).imageCount(), 5);
        const QByteArray comment("\x21\xFE\x0BSecret Spot\x00", 15);
        const qsizetype firstBlock = gif.indexOf("\x21\xFF"); // after the header and colour table
        QVERIFY(firstBlock > 0);
        gif.insert(firstBlock, comment);
        QCOMPARE(writeFile(path("commented.gif"), gif), path("commented.gif"));
        QCOMPARE(QImageReader(path("commented.gif")).imageCount(), 5);

        MetadataEngine::writeImage(path("commented.gif"), path("clean.gif"), {}, true, false);
        QCOMPARE(QImageReader(path("clean.gif")).imageCount(), 5);
        QCOMPARE(readAll(path("clean.gif")), readAll(path("anim.gif"))); // only the comment went
        QVERIFY(!readAll(path("clean.gif")).contains("Secret"));
        QVERIFY(!GifBlocks::pictureOnly(gif.left(gif.size() / 2)));

        // A GIF has no place for a title: the save says so instead of dropping it.
        const QString why = message([&] {
            MetadataEngine::writeImage(path("anim.gif"), path("titled.gif"), {{"title", "Title", "x"}}, false,
                                       false);
        });
        QCOMPARE(why, QStringLiteral("Title can’t be saved in GIF files"));
    }

    void heicIsEncodedAgainWithTheTagsThatStay()
    {
        ImageProps props;
        QVERIFY(props.setValue("Exif.Image.Artist", "Ann"));
        QVERIFY(props.setValue("Exif.GPSInfo.GPSLatitudeRef", "N"));
        QVERIFY(props.setValue("Exif.GPSInfo.GPSLatitude", "48/1 51/1 0/1"));
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::cyan);
        ImageEngine::write(picture, path("pic.heic"), "heic", props, 0.8, 72);
        const ImageFields read = MetadataEngine::imageFields(path("pic.heic"));
        QCOMPARE(valueOf(read.editable, "author"), QStringLiteral("Ann"));
        QVERIFY(read.hasGPS);

        MetadataEngine::writeImage(path("pic.heic"), path("pic titled.heic"), {field("title", "Sky")}, false,
                                   true);
        const ImageProps titled = ImageEngine::load(path("pic titled.heic")).props;
        QCOMPARE(titled.value("Exif.Image.ImageDescription"), std::optional<QString>("Sky"));
        QCOMPARE(titled.value("Exif.Image.Artist"), std::optional<QString>("Ann"));
        QVERIFY(!titled.value("Exif.GPSInfo.GPSLatitude"));

        MetadataEngine::writeImage(path("pic.heic"), path("pic bare.heic"), {}, true, true);
        QVERIFY(!ImageEngine::load(path("pic bare.heic")).props.value("Exif.Image.Artist"));
        QCOMPARE(ImageEngine::load(path("pic bare.heic")).image.size(), QSize(64, 48));

        QCOMPARE(message([&] {
                     MetadataEngine::writeImage(path("pic.heic"), path("pic kw.heic"),
                                                {{"keywords", "Keywords", "sea"}}, false, false);
                 }),
                 QStringLiteral("Keywords can’t be saved in HEIC files"));
        QVERIFY(!QFile::exists(path("pic kw.heic")));
    }

    // A HEIF copy is made of the file's own items: a strip keeps the translucent picture and
    // drops its thumbnail, its tags and a box no reader knows, which a title keeps; a file whose
    // tags cannot be followed is encoded again under a note, and a damaged file gives no copy.
    void heifCopiesKeepWhatShowsThePicture()
    {
        QImage picture(64, 48, QImage::Format_RGBA8888);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                picture.setPixelColor(x, y, QColor(x * 4, y * 5, 128, 40 + x * 3));
        QVERIFY(picture.save(path("glass.png")));
        const QString heic = path("glass.heic");
        QVERIFY(run("heif-enc", {"-q", "50", "-t", "32", path("glass.png"), "-o", heic}));
        QVERIFY(
            run("exiftool", {"-q", "-overwrite_original", "-Artist=Ann", "-XMP-photoshop:City=Paris", heic}));
        const QByteArray bytes = readAll(heic), unknown = QByteArray(16, '\x42') + "Marseille 43.2917 5.3778";
        QVERIFY(
            Fixture::write(heic, bytes + QByteArray(3, '\0') + char(8 + unknown.size()) + "uuid" + unknown));
        const auto info = [](const QString& file) {
            QByteArray out;
            return run("heif-info", {file}, &out) ? QString(out) : QString("<unreadable>");
        };
        QVERIFY(info(heic).contains("thumbnail: 32x24") && info(heic).contains("alpha channel: yes"));

        MetadataEngine::writeImage(heic, path("glass bare.heic"), {}, true, false);
        MetadataEngine::writeImage(heic, path("glass titled.heic"), {field("title", "Sky")}, false, false);
        const QString bare = info(path("glass bare.heic"));
        QVERIFY2(bare.contains("alpha channel: yes") && !bare.contains("thumbnail"), qPrintable(bare));
        for (const char* text : {"Marseille", "Paris", "Ann"})
            QVERIFY2(!readAll(path("glass bare.heic")).contains(text), text);
        QVERIFY(info(path("glass titled.heic")).contains("thumbnail: 32x24"));
        QVERIFY(readAll(path("glass titled.heic")).contains(unknown));
        QCOMPARE(MetadataEngine::imageFields(path("glass titled.heic")).editable[0].value,
                 QStringLiteral("Sky"));
        const QImage shown = ImageEngine::load(heic).image;
        QCOMPARE(ImageEngine::load(path("glass bare.heic")).image, shown);
        QCOMPARE(ImageEngine::load(path("glass titled.heic")).image, shown);

        // An Exif block no reader can follow leaves the picture to be encoded again, which a note says.
        QByteArray unreadable = bytes;
        const qsizetype exif = unreadable.indexOf(QByteArray("Exif\0\0MM\0*", 10));
        QVERIFY(exif > 0);
        QVERIFY(Fixture::write(path("odd.heic"), unreadable.replace(exif + 6, 2, "XX")));
        QCOMPARE(MetadataEngine::writeImage(path("odd.heic"), path("odd titled.heic"),
                                            {field("title", "Sky")}, false, false),
                 QStringList(
                     "odd.heic was encoded again, as its pictures couldn’t be copied as they are: the copy "
                     "holds its main picture alone, at 8 bits"));
        QVERIFY(MetadataEngine::writeImage(heic, path("glass titled 2.heic"), {field("title", "Sky")}, false,
                                           false)
                    .isEmpty());

        for (const qsizetype size : {qsizetype(100), bytes.size() / 2}) {
            QVERIFY(Fixture::write(path("cut.heic"), bytes.left(size)));
            QVERIFY(!message([&] {
                         MetadataEngine::writeImage(path("cut.heic"), path("cut bare.heic"), {}, true, false);
                     }).isEmpty());
        }
    }

    void pdfInfoAndXmp()
    {
        QVERIFY(MiniPdf::write(path("plain.pdf"),
                               {{QRectF(0, 0, 200, 200), 0, MiniPdf::text("F1", 12, 10, 10, "Hi")}}));
        {
            QPDF pdf;
            pdf.processFile(QFile::encodeName(path("plain.pdf")).constData());
            auto info = pdf.makeIndirectObject(
                QPDFObjectHandle::parse("<< /Title (Old) /Author (Ann) /Creator (Writer) /Producer (Press) "
                                        "/CreationDate (D:20240101) >>"));
            pdf.getTrailer().replaceKey("/Info", info);
            auto xmp =
                QPDFObjectHandle::newStream(&pdf, "<x:xmpmeta><dc:creator>Ann</dc:creator></x:xmpmeta>");
            xmp.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/Metadata"));
            xmp.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/XML"));
            pdf.getRoot().replaceKey("/Metadata", xmp);
            QPDFObjectHandle page = QPDFPageDocumentHelper(pdf).getAllPages()[0].getObjectHandle();
            page.replaceKey("/Metadata", xmp);
            page.replaceKey("/PieceInfo", QPDFObjectHandle::parse("<< /App << /Private (Ann) >> >>"));
            QPDFWriter writer(pdf, QFile::encodeName(path("tagged.pdf")).constData());
            writer.setQDFMode(true);
            writer.write();
        }
        const QList<MetaField> read = MetadataEngine::pdfFields(path("tagged.pdf"));
        QCOMPARE(read.size(), 5);
        QCOMPARE(valueOf(read, "Title"), QStringLiteral("Old"));
        QCOMPARE(valueOf(read, "Creator"), QStringLiteral("Writer"));

        MetadataEngine::writePDF(path("tagged.pdf"), path("retitled.pdf"), {field("Title", "New")}, false);
        QPDF edited;
        edited.processFile(QFile::encodeName(path("retitled.pdf")).constData());
        QPDFObjectHandle info = edited.getTrailer().getKey("/Info");
        QCOMPARE(info.getKey("/Title").getUTF8Value(), std::string("New"));
        QCOMPARE(info.getKeys(), std::set<std::string>{"/Title"}); // an edit replaces them all
        QVERIFY(!edited.getRoot().hasKey("/Metadata"));

        MetadataEngine::writePDF(path("tagged.pdf"), path("bare.pdf"), {}, true);
        const QByteArray bare = readAll(path("bare.pdf"));
        QVERIFY(!bare.contains("Ann") && !bare.contains("xmpmeta"));
        QPDF stripped;
        stripped.processFile(QFile::encodeName(path("bare.pdf")).constData());
        QVERIFY(!stripped.getTrailer().hasKey("/Info"));
        QCOMPARE(QPDFPageDocumentHelper(stripped).getAllPages().size(), size_t(1));
        QCOMPARE(valueOf(MetadataEngine::pdfFields(path("bare.pdf")), "Title"), QString());
    }

    // A PDF LibreOffice exported from a template it installs: read, retitled and stripped.
    void pdfOfAnotherProgram()
    {
        const QString templ =
            "/usr/lib/libreoffice/share/template/common/officorr/Modern_business_letter_serif.ott";
        if (!QFile::exists(templ)) QSKIP("LibreOffice's templates are not installed");
        QTemporaryDir out;
        QCOMPARE(Fixture::soffice(templ, "pdf", out.path()), 0);
        const QString pdf = out.filePath("Modern_business_letter_serif.pdf");
        QCOMPARE(valueOf(MetadataEngine::pdfFields(pdf), "Creator"), QStringLiteral("Writer"));

        QList<MetaField> fields = MetadataEngine::pdfFields(pdf);
        fields[0].value = "Letter";
        MetadataEngine::writePDF(pdf, out.filePath("titled.pdf"), fields, false);
        QCOMPARE(valueOf(MetadataEngine::pdfFields(out.filePath("titled.pdf")), "Title"),
                 QStringLiteral("Letter"));
        QCOMPARE(valueOf(MetadataEngine::pdfFields(out.filePath("titled.pdf")), "Creator"),
                 QStringLiteral("Writer"));
        MetadataEngine::writePDF(pdf, out.filePath("bare.pdf"), {}, true);
        QVERIFY(!readAll(out.filePath("bare.pdf")).contains("LibreOffice"));
        const std::unique_ptr<Poppler::Document> before(Poppler::Document::load(pdf)),
            after(Poppler::Document::load(out.filePath("bare.pdf")));
        QVERIFY(before && after);
        QCOMPARE(after->numPages(), before->numPages());
        QCOMPARE(std::unique_ptr<Poppler::Page>(after->page(0))->text({}),
                 std::unique_ptr<Poppler::Page>(before->page(0))->text({}));
    }

    void mediaEditAndStrip()
    {
        // Cover art whose own Exif holds a location.
        QImage cover(16, 16, QImage::Format_RGB32);
        cover.fill(Qt::blue);
        QVERIFY(cover.save(path("cover.jpg")));
        tagLikeACamera(path("cover.jpg"));
        QVERIFY(run("ffmpeg", {"-v",
                               "error",
                               "-y",
                               "-f",
                               "lavfi",
                               "-i",
                               "sine=duration=1",
                               "-i",
                               path("cover.jpg"),
                               "-map",
                               "0",
                               "-map",
                               "1",
                               "-c:a",
                               "libmp3lame",
                               "-c:v",
                               "copy",
                               "-disposition:v",
                               "attached_pic",
                               "-metadata",
                               "title=Song",
                               "-metadata",
                               "ARTIST=Band",
                               path("song.mp3")}));
        QVERIFY(run("ffmpeg", {"-v",
                               "error",
                               "-y",
                               "-f",
                               "lavfi",
                               "-i",
                               "testsrc2=size=64x48:duration=1",
                               "-f",
                               "lavfi",
                               "-i",
                               "sine=duration=1",
                               "-c:v",
                               "libx264",
                               "-c:a",
                               "aac",
                               "-metadata",
                               "title=Clip",
                               "-metadata",
                               "location=+48.8584+002.2945/",
                               "-shortest",
                               path("clip.mp4")}));
        QCOMPARE(valueOf(MetadataEngine::mediaFields(path("song.mp3")), "artist"), QStringLiteral("Band"));
        QCOMPARE(valueOf(MetadataEngine::mediaFields(path("clip.mp4")), "title"), QStringLiteral("Clip"));

        // A read that failed gives empty fields; only the typed one is written and the rest stay.
        const QList<MetaField> unread = MetadataEngine::mediaFields(path("missing.mp3"));
        QCOMPARE(valueOf(unread, "title"), QString());
        QList<MetaField> typed = unread;
        typed[2].value = "Album One";
        Job job("", "", 0);
        MetadataEngine::writeMedia(path("song.mp3"), path("song tagged.mp3"),
                                   MetadataEngine::changedFields(typed, unread), false, job);
        const QList<MetaField> back = MetadataEngine::mediaFields(path("song tagged.mp3"));
        QCOMPARE(valueOf(back, "title"), QStringLiteral("Song"));
        QCOMPARE(valueOf(back, "artist"), QStringLiteral("Band"));
        QCOMPARE(valueOf(back, "album"), QStringLiteral("Album One"));

        for (const QString& name : {QStringLiteral("song"), QStringLiteral("clip")}) {
            const QString ext = name == "song" ? "mp3" : "mp4";
            const QString out = path(name + " bare." + ext);
            MetadataEngine::writeMedia(path(name + "." + ext), out, {}, true, job);
            const QJsonObject json = probe(out);
            QJsonObject tags = json.value("format").toObject().value("tags").toObject();
            for (const char* structural : {"major_brand", "minor_version", "compatible_brands"})
                tags.remove(structural); // the MP4 file type box, not a tag
            QVERIFY2(tags.isEmpty(), qPrintable(name));
            const QJsonArray streams = json.value("streams").toArray();
            QCOMPARE(streams.size(), 2); // the cover art stays, without the location of its own Exif
            QVERIFY(!readAll(out).contains("Tolvane") && !readAll(out).contains("48.8584"));
        }
    }

    void changedFieldsAndKeywordRule()
    {
        const QList<MetaField> original{{"title", "Title", "A"}, {"artist", "Artist", ""}};
        QList<MetaField> fields = original;
        QVERIFY(MetadataEngine::changedFields(fields, original).isEmpty());
        fields[0].value = "B";
        QCOMPARE(MetadataEngine::changedFields(fields, original),
                 (QList<MetaField>{{"title", "Title", "B"}}));
        fields[0].value = "A";
        QVERIFY(MetadataEngine::changedFields(fields, original).isEmpty());
        QCOMPARE(MetadataEngine::keywordList(" sun, \t ,beach , sea,"), (QStringList{"sun", "beach", "sea"}));
        QVERIFY(MetadataEngine::keywordList("").isEmpty());
    }
};

QTEST_MAIN(MetadataEngineTest)
#include "test_metadataengine.moc"
