// "Remove location" on photos tagged the way drones, phones, ImageMagick and exiftool tag them:
// coordinates and place names in every place the six photo formats and GIF keep them, under
// names of their own or only in their text, in photos from several writers. Each copy is read
// back with exiftool here and searched byte by byte, its compressed streams inflated: nothing of
// the place is left, every other tag stays, and the window no longer offers the removal. Also what the copy's
// read-back decides, and a HEIF edit that must not keep the old text of a field in its XMP.

#include "engines/image/imageengine.h"
#include "engines/metadata/heavy/imagemetadata.h"

#include "core/converterror.h"

#include "../../support/files.h"
#include "../../support/photobytes.h"
#include "../../support/programoutput.h"

#include <QCryptographicHash>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

namespace {

// What the planted places leave in exiftool's report or in the file's bytes: the coordinates
// in the forms exiftool prints and XMP stores them, an altitude, and the place names.
const QStringList placeTexts{"48 deg",     "48.85",   "48,51",     "2 deg 17", "2.294",  "2,17",
                             "120.5",      "Paris",   "Tower",     "France",   "Eiffel", "XLC",
                             "DatumThumb", "Sormiou", "Marseille", "Bouches",  "43 12N", "51'30"};
const QStringList placeBytes{"Paris",       "Tower",       "France",           "Eiffel",        "DatumThumb",
                             "GPSLatitude", "GpsLatitude", "AbsoluteAltitude", "trip:Latitude", "trip:Place",
                             "Sormiou",     "Marseille",   "Bouches",          "43 12N",        "48.85",
                             "2.294",       "51'30"};

QByteArray xmp(const QByteArray& properties)
{
    return "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
           "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description rdf:about='' "
           "xmlns:dc='http://purl.org/dc/elements/1.1/' xmlns:exif='http://ns.adobe.com/exif/1.0/' "
           "xmlns:photoshop='http://ns.adobe.com/photoshop/1.0/' "
           "xmlns:drone-dji='http://www.dji.com/drone-dji/1.0/' xmlns:trip='http://example.org/trip/1.0/'>" +
           properties + "</rdf:Description></rdf:RDF></x:xmpmeta>";
}

const QByteArray creator = "<dc:creator><rdf:Seq><rdf:li>Ann Smith</rdf:li></rdf:Seq></dc:creator>";

// A drone's own namespace, and one no reader knows, each with a tag that is not a place.
const QByteArray drone = xmp(creator + "<drone-dji:GpsLatitude>+48.85837</drone-dji:GpsLatitude>"
                                       "<drone-dji:GpsLongitude>+2.294481</drone-dji:GpsLongitude>"
                                       "<drone-dji:AbsoluteAltitude>+120.5</drone-dji:AbsoluteAltitude>"
                                       "<trip:Mood>sunny</trip:Mood>");
const QByteArray madeUp = xmp(creator + "<trip:Latitude>48.85837</trip:Latitude>"
                                        "<trip:Longitude>2.294481</trip:Longitude>"
                                        "<trip:Place>Eiffel Tower</trip:Place><trip:Mood>sunny</trip:Mood>");

// The file's bytes and what they hide from a plain search (photobytes.h): a reader with no blind
// spot for a chunk it does not know or a text it would have to unpack.
QByteArray contents(const QString& file)
{
    return readable(readAll(file)).join();
}

// Pillow's PNG text: coordinates under names of their own, one compressed, and tags that stay.
const QString pngTexts = "import sys\n"
                         "from PIL import Image, PngImagePlugin as P\n"
                         "i = P.PngInfo()\n"
                         "i.add_text('GeoLocation', '48.85837, 2.294481')\n"
                         "i.add_text('Coordinates', '48\\u00b051\\'30.1\"N 2\\u00b017\\'40.1\"E', zip=True)\n"
                         "i.add_text('Author', 'Ann Smith')\n"
                         "i.add_itxt('Title', 'Evening swim 12.05.2024, 35.5 m', zip=True)\n"
                         "Image.open(sys.argv[1]).save(sys.argv[2], pnginfo=i)\n";

bool exiftool(const QStringList& args)
{
    return !programOutput("exiftool", QStringList{"-q", "-q", "-m", "-overwrite_original"} + args)
                .startsWith('<');
}

// exiftool's report of each file, extended XMP of any GUID included, by file.
QHash<QString, QString> reports(const QStringList& files)
{
    const QString all =
        programOutput("exiftool", QStringList{"-a", "-ee", "-G1", "-u", "-api", "ExtendedXMP=2"} + files);
    QHash<QString, QString> out;
    if (files.size() == 1) out[files[0]] = all;
    for (const QString& part : all.split("======== ", Qt::SkipEmptyParts)) {
        const qsizetype end = part.indexOf('\n');
        if (files.size() > 1 && end > 0) out[part.left(end)] = part.mid(end);
    }
    return out;
}

// The JPEG `jpeg` with `segment` (marker and payload) put after the segment that starts with
// `after` in the first picture's header, or after the start marker.
QByteArray inserted(QByteArray jpeg, const QByteArray& segment, const QByteArray& after = {})
{
    qsizetype at = 2;
    for (qsizetype s = 2; !after.isEmpty() && s + 4 < jpeg.size() && quint8(jpeg[s + 1]) != 0xDA;) {
        const qsizetype end = s + 2 + qFromBigEndian<quint16>(jpeg.constData() + s + 2);
        if (jpeg.mid(s + 4, after.size()) == after) at = end;
        s = end;
    }
    return jpeg.insert(at, segment);
}

QByteArray segment(quint8 marker, const QByteArray& payload)
{
    QByteArray out("\xFF", 1);
    out.append(char(marker)).append(char((payload.size() + 2) >> 8)).append(char(payload.size() + 2));
    return out + payload;
}

// Extended XMP segments for `packet`, as an editor splits a packet too large for one segment.
QByteArray extendedXmp(const QByteArray& packet, const QByteArray& guid)
{
    QByteArray out;
    for (qsizetype at = 0; at < packet.size(); at += 60000) {
        QByteArray header =
            QByteArray("http://ns.adobe.com/xmp/extension/\0", 35) + guid + QByteArray(8, '\0');
        qToBigEndian(quint32(packet.size()), header.data() + 67);
        qToBigEndian(quint32(at), header.data() + 71);
        out += segment(0xE1, header + packet.mid(at, 60000));
    }
    return out;
}

// An Exif block whose thumbnail directory points at a GPS directory of its own, as some cameras
// write it: IFD0 holds the artist, IFD1 the thumbnail and the location.
QByteArray exifWithThumbnailGps(const QByteArray& thumbnail)
{
    QByteArray t("MM\0*\0\0\0\x08", 8);
    const auto u16 = [&](quint16 v) { t.append(char(v >> 8)).append(char(v)); };
    const auto u32 = [&](quint32 v) { u16(quint16(v >> 16)), u16(quint16(v)); };
    const auto entry = [&](quint16 tag, quint16 type, quint32 count, quint32 value, bool shortValue = false) {
        u16(tag), u16(type), u32(count);
        shortValue ? (u16(quint16(value)), u16(0)) : u32(value);
    };
    const quint32 ifd1 = 8 + 18, gps = ifd1 + 54, rational = gps + 42, datum = rational + 24,
                  thumb = datum + 12;
    u16(1), entry(315, 2, 4, 0x416E6E00), u32(ifd1); // Artist "Ann"
    u16(4), entry(259, 3, 1, 6, true), entry(513, 4, 1, thumb), entry(514, 4, 1, quint32(thumbnail.size())),
        entry(0x8825, 4, 1, gps), u32(0);
    u16(3), entry(1, 2, 2, 0x4E000000), entry(2, 5, 3, rational), entry(18, 2, 11, datum), u32(0);
    for (quint32 v : {48, 1, 51, 1, 30, 1})
        u32(v);
    t.append("DatumThumb\0\0", 12);
    return "Exif" + QByteArray(2, '\0') + t + thumbnail;
}

} // namespace

class LocationRemovalTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // A 32 × 24 picture in `format` (jpg, png, webp, tif, heic, avif, gif) without tags.
    QString picture(const QString& name, const QString& format)
    {
        const QString png = path(name + ".source.png"), out = path(name + "." + format);
        if (!programOutput("/usr/bin/convert",
                           {"-size", "32x24", "gradient:red-blue", "-depth", "8", "PNG24:" + png})
                 .isEmpty())
            return {};
        QStringList encode{"/usr/bin/convert", png, out};
        if (format == "webp") encode = {"cwebp", "-quiet", png, "-o", out};
        if (format == "heic") encode = {"heif-enc", "-q", "80", png, "-o", out};
        if (format == "avif") encode = {"heif-enc", "-A", "-q", "80", png, "-o", out};
        if (format == "png") encode = {"cp", png, out};
        return programOutput(encode[0], encode.mid(1)).startsWith('<') ? QString() : out;
    }

    // The picture of picture() as `writer` (vips, gm, pillow, avifenc) writes it in `format`, at
    // `name` and the format's extension.
    QString writtenBy(const QString& writer, const QString& format, const QString& name)
    {
        const QString png = picture(name + "-source", "png"), out = path(name + "." + format);
        QStringList encode{"vips", "copy", png, out};
        if (writer == "gm") encode = {"gm", "convert", png, out};
        if (writer == "avifenc") encode = {"avifenc", png, out};
        if (writer == "pillow")
            encode = {"/usr/bin/python3", "-c",
                      "import sys; from PIL import Image; Image.open(sys.argv[1]).save(sys.argv[2])", png,
                      out};
        return programOutput(encode[0], encode.mid(1)).startsWith('<') ? QString() : out;
    }

    // A JPEG tagged with a location in Exif, IPTC and XMP and with tags that stay, which
    // ImageMagick converts to each of `formats` as it converts phone photos.
    QStringList convertedByImageMagick(const QStringList& formats)
    {
        const QString jpg = picture("camera", "jpg");
        if (jpg.isEmpty() ||
            !exiftool({"-GPSLatitude=48.85837", "-GPSLatitudeRef=N", "-GPSLongitude=2.294481",
                       "-GPSLongitudeRef=E", "-Artist=Ann Smith", "-Copyright=(c) Ann Smith",
                       "-IPTC:Keywords=seaside", "-IPTC:City=Paris", "-IPTC:Sub-location=Tower",
                       "-IPTC:Province-State=Ile-de-France", "-IPTC:Country-PrimaryLocationName=France",
                       "-XMP-exif:GPSLatitude=48.85837 N", "-XMP-photoshop:City=Paris",
                       "-XMP-dc:Creator=Ann Smith", jpg}))
            return {};
        QStringList out;
        for (const QString& format : formats) {
            out << path("converted." + format);
            if (!programOutput("/usr/bin/convert", {jpg, out.last()}).isEmpty()) return {};
        }
        return out;
    }

    // Each of `sources` holds a location the window offers to remove; its location-free copy
    // keeps nothing of it and every tag of `kept`, and shows the same picture.
    void removeFromEach(const QStringList& sources, const QStringList& kept)
    {
        QVERIFY(!sources.contains(QString()));
        QStringList copies;
        for (const QString& source : sources) {
            QVERIFY2(MetadataEngine::imageFields(source).hasGPS, qPrintable(source));
            copies << source + ".nowhere." + QFileInfo(source).suffix();
            try {
                MetadataEngine::writeImage(source, copies.last(), {}, false, true);
            } catch (const ConvertError& e) {
                QFAIL(qPrintable(source + ": " + e.message()));
            }
        }
        const QHash<QString, QString> tags = reports(sources + copies);
        for (qsizetype i = 0; i < sources.size(); ++i) {
            const QString &before = tags[sources[i]], &after = tags[copies[i]];
            const QByteArray bytes = contents(copies[i]);
            // The place shows in the report, or in the bytes where no reader looks (a thumbnail's own tags).
            const QByteArray held = contents(sources[i]);
            QVERIFY2(std::any_of(placeTexts.begin(), placeTexts.end(),
                                 [&](const QString& t) { return before.contains(t); }) ||
                         std::any_of(placeBytes.begin(), placeBytes.end(),
                                     [&](const QString& t) { return held.contains(t.toUtf8()); }),
                     qPrintable(sources[i] + before));
            for (const QString& text : placeTexts + QStringList{"[GPS]"})
                QVERIFY2(!after.contains(text), qPrintable(copies[i] + " holds " + text + after));
            for (const QString& text : placeBytes)
                QVERIFY2(!bytes.contains(text.toUtf8()), qPrintable(copies[i] + " holds " + text));
            for (const QString& text : kept)
                QVERIFY2(!before.contains(text) || after.contains(text),
                         qPrintable(copies[i] + " lost " + text + after));
            QVERIFY2(after.contains("Ann Smith"), qPrintable(copies[i] + after));
            QVERIFY2(!MetadataEngine::imageFields(copies[i]).hasGPS, qPrintable(copies[i]));
            // Each chunk rewritten with its right checksum, which readers do not all check.
            if (bytes.startsWith("\x89PNG"))
                QCOMPARE(programOutput("pngcheck", {"-q", copies[i]}), QString());
            QCOMPARE(ImageEngine::load(copies[i]).image.size(), QSize(32, 24));
        }
    }

  private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void xmpOfDronesAndUnknownNamespaces()
    {
        QStringList sources;
        for (const QString format : {"jpg", "png", "webp", "tif", "heic", "avif"})
            for (const auto& [name, packet] :
                 {std::pair(QStringLiteral("drone"), drone), std::pair(QStringLiteral("madeup"), madeUp)}) {
                const QString file = picture(name + "-" + format, format);
                writeFile(path(name + ".xmp"), packet);
                QVERIFY2(exiftool({"-xmp<=" + path(name + ".xmp"), file}), qPrintable(file));
                sources << file;
            }
        removeFromEach(sources, {"sunny"});
    }

    // ImageMagick's PNG keeps the location as text chunks (exif:GPSLatitude, photoshop:City),
    // raw 8BIM, IPTC and XMP profiles and an eXIf chunk; its WebP an XMP chunk named "XMP\0";
    // its TIFF the IPTC both in its own tag and in the Photoshop resource block, which in the
    // last file is the only IPTC left.
    void photosConvertedByImageMagick()
    {
        QStringList sources = convertedByImageMagick({"png", "webp", "tif"});
        QVERIFY(sources.size() == 3);
        QVERIFY(readAll(sources[0]).contains("exif:GPSLatitude"));
        QVERIFY(readAll(sources[0]).contains("Raw profile type 8bim"));
        QVERIFY(readAll(sources[1]).contains(QByteArray("XMP\0", 4)));
        const QString onlyBlock = path("block only.tif");
        QVERIFY(QFile::copy(sources[2], onlyBlock));
        QVERIFY(exiftool({"-IFD0:IPTC-NAA=", onlyBlock}));
        QVERIFY(!programOutput("tiffdump", {onlyBlock}).contains("33723"));
        QVERIFY(programOutput("tiffdump", {onlyBlock}).contains("34377"));
        removeFromEach(sources << onlyBlock, {"seaside", "(c) Ann Smith"});
    }

    // Content location code and name, extended XMP in a JPEG, and a thumbnail with a GPS
    // directory of its own.
    void placesOfTheirOwn()
    {
        const QString named = picture("content", "jpg"), namedTiff = picture("content", "tif");
        QVERIFY(exiftool({"-IPTC:ContentLocationCode=XLC", "-IPTC:ContentLocationName=Eiffel",
                          "-IPTC:Keywords=seaside", "-Artist=Ann Smith", named, namedTiff}));

        const QString extended = picture("extended", "jpg");
        const QByteArray packet = xmp("<exif:GPSLatitude>48,51.5022N</exif:GPSLatitude>"
                                      "<photoshop:City>Paris</photoshop:City><trip:Mood>sunny</trip:Mood>"
                                      "<trip:Notes>" +
                                      QByteArray(70000, 'n') + "</trip:Notes>");
        const QByteArray guid = QCryptographicHash::hash(packet, QCryptographicHash::Md5).toHex().toUpper();
        writeFile(path("main.xmp"),
                  xmp(creator + "<xmpNote:HasExtendedXMP xmlns:xmpNote='http://ns.adobe.com/xmp/note/'>" +
                      guid + "</xmpNote:HasExtendedXMP>"));
        QVERIFY(exiftool({"-xmp<=" + path("main.xmp"), extended}));
        writeFile(extended,
                  inserted(readAll(extended), extendedXmp(packet, guid), "http://ns.adobe.com/xap"));
        // Read as readers read it: only the extension the packet names.
        const auto asRead = [](const QString& file) { return programOutput("exiftool", {"-XMP:all", file}); };
        QVERIFY2(asRead(extended).contains("Paris") && asRead(extended).contains("sunny"),
                 qPrintable(asRead(extended)));

        const QString thumbnailed = picture("thumbnailed", "jpg");
        const QByteArray thumbnail = readAll(picture("thumbnail", "jpg"));
        writeFile(thumbnailed,
                  inserted(readAll(thumbnailed), segment(0xE1, exifWithThumbnailGps(thumbnail)), "JFIF"));
        QVERIFY(exiftool({"-XMP-dc:Creator=Ann Smith", thumbnailed}));

        removeFromEach({named, namedTiff, extended, thumbnailed}, {"seaside", "sunny", "Thumbnail Image"});
        // What stays of the extension is named by the packet anew.
        const QString extendedCopy = extended + ".nowhere.jpg";
        QVERIFY2(asRead(extendedCopy).contains("sunny") && !asRead(extendedCopy).contains("Warning"),
                 qPrintable(asRead(extendedCopy)));
    }

    // Places under names of their own or only in text: a shot location and a coverage, the only
    // places of photos from each writer in every format (exiv2 writes them, exiftool in HEIF),
    // with a title that repeats one; Darwin Core terms as catalogues write them; a Samsung maker
    // note's location; PNG text named for coordinates; an Exif thumbnail's own GPS. A title with
    // a date and a number is no place, and a photo holding only that is offered no removal.
    void placesUnderOtherNames()
    {
        QStringList sources;
        for (const auto& [writer, formats] :
             {std::pair<QString, QStringList>("vips", {"jpg", "png", "webp", "tif", "heic", "avif"}),
              std::pair<QString, QStringList>("gm", {"png", "tif"}),
              std::pair<QString, QStringList>("pillow", {"jpg", "webp"}),
              std::pair<QString, QStringList>("avifenc", {"avif"})})
            for (const QString& format : formats) {
                sources << writtenBy(writer, format, writer + "-" + format);
                const bool heif = format == "heic" || format == "avif";
                const QStringList tags =
                    heif ? QStringList{"exiftool",
                                       "-q",
                                       "-overwrite_original",
                                       "-XMP-xmpDM:ShotLocation=Calanque de Sormiou",
                                       "-XMP-dc:Coverage=Marseille",
                                       "-XMP-dc:Title=Boats near Marseille",
                                       "-XMP-dc:Creator=Ann Smith",
                                       "-ImageDescription=Evening swim 12.05.2024, 35.5 m"}
                         : QStringList{"exiv2",
                                       "-M",
                                       "set Xmp.xmpDM.shotLocation Calanque de Sormiou",
                                       "-M",
                                       "set Xmp.dc.coverage Marseille",
                                       "-M",
                                       "set Xmp.dc.title lang=x-default Boats near Marseille",
                                       "-M",
                                       "set Xmp.dc.creator XmpSeq Ann Smith",
                                       "-M",
                                       "set Exif.Image.ImageDescription Evening swim 12.05.2024, 35.5 m"};
                QVERIFY2(!sources.last().isEmpty() &&
                             !programOutput(tags[0], tags.mid(1) << sources.last()).startsWith('<'),
                         qPrintable(writer + " " + format));
            }
        for (const QString& catalogued : {sources[1], sources[5], sources[7]})
            QVERIFY(exiftool({"-XMP-dwc:DCLocality=Sormiou", "-XMP-dwc:DCMunicipality=Marseille",
                              "-XMP-dwc:DCCounty=Bouches-du-Rhone",
                              "-XMP-dwc:DCVerbatimCoordinates=43 12N 5 27E", catalogued}));

        const QString samsung = writtenBy("pillow", "jpg", "samsung");
        QVERIFY(!programOutput("exiv2", {"-M", "set Exif.Image.Make SAMSUNG", "-M",
                                         "set Exif.Samsung2.0x0001 Undefined 48 49 48 48", "-M",
                                         "set Exif.Samsung2.LocalLocationName Calanque de Sormiou", "-M",
                                         "set Xmp.dc.creator XmpSeq Ann Smith", samsung})
                     .startsWith('<'));
        QVERIFY(exiftool({"-Comment=Anchored at 48.85837, 2.294481", samsung}));

        const QString text = path("text.png");
        QVERIFY(
            !programOutput("/usr/bin/python3", {"-c", pngTexts, writtenBy("pillow", "png", "untitled"), text})
                 .startsWith('<'));

        const QString thumbnail = writtenBy("gm", "jpg", "small"),
                      thumbnailed = writtenBy("vips", "jpg", "with thumbnail");
        QVERIFY(
            !programOutput("gm", {"convert", thumbnail, "-resize", "160x120!", thumbnail}).startsWith('<'));
        QVERIFY(
            exiftool({"-GPSLatitude=48.85837", "-GPSLatitudeRef=N", "-GPSMapDatum=DatumThumb", thumbnail}));
        // Beside it, an angle and a creator's address, which are no place the photo shows.
        QVERIFY(exiftool({"-ThumbnailImage<=" + thumbnail, "-XMP-dc:Creator=Ann Smith",
                          "-CameraElevationAngle=12.5", "-XMP-iptcCore:CreatorCountry=Norway", thumbnailed}));

        const QString plain = picture("plain", "jpg");
        QVERIFY(exiftool({"-ImageDescription=Evening swim 12.05.2024, 35.5 m", "-UserComment=120.5", plain}));
        QVERIFY(!MetadataEngine::imageFields(plain).hasGPS);
        removeFromEach(sources << samsung << text << thumbnailed,
                       {"Evening swim 12.05.2024, 35.5 m", "[Samsung]", "Thumbnail Image", "12.5", "Norway"});
        // The thumbnail kept in the copy holds no GPS of its own.
        QProcess extract;
        extract.start("exiftool", {"-b", "-ThumbnailImage", thumbnailed + ".nowhere.jpg"});
        QVERIFY(extract.waitForFinished());
        const QString inner = writeFile(path("inner.jpg"), extract.readAllStandardOutput());
        QVERIFY2(readAll(inner).startsWith("\xFF\xD8") && !programOutput("exiftool", {inner}).contains("GPS"),
                 qPrintable(programOutput("exiftool", {inner})));
    }

    // A GIF keeps XMP in an application extension: the window finds the location there, and
    // the copy loses only that.
    void gifXmp()
    {
        const QString gif = picture("animation", "gif");
        QVERIFY(exiftool({"-XMP-exif:GPSLatitude=48.85837 N", "-XMP-exif:GPSLongitude=2.294481 E",
                          "-XMP-photoshop:City=Paris", "-XMP-dc:Creator=Ann Smith", gif}));
        removeFromEach({gif}, {});
    }

    // Stripping what other programs wrote leaves nothing a reader reports as a tag, and the
    // read-back of each copy accepts it.
    void stripsPassTheReadBack()
    {
        QStringList sources = convertedByImageMagick({"png", "webp", "tif", "gif", "jpg"});
        QVERIFY(sources.size() == 5);
        for (const QString format : {"heic", "avif"}) {
            sources << picture("strip", format);
            writeFile(path("drone.xmp"), drone);
            QVERIFY(exiftool({"-xmp<=" + path("drone.xmp"), "-Artist=Ann Smith", sources.last()}));
        }
        QStringList copies;
        for (const QString& source : sources) {
            copies << source + ".bare." + QFileInfo(source).suffix();
            try {
                MetadataEngine::writeImage(source, copies.last(), {}, true, false);
            } catch (const ConvertError& e) {
                QFAIL(qPrintable(source + ": " + e.message()));
            }
        }
        const QHash<QString, QString> tags = reports(copies);
        for (const QString& copy : copies)
            for (const QString& text :
                 placeTexts + QStringList{"Ann Smith", "seaside", "sunny", "[XMP", "[IPTC"})
                QVERIFY2(!tags[copy].contains(text), qPrintable(copy + " holds " + text + tags[copy]));
    }

    // Editing the title, author or copyright of a HEIF photo leaves no old copy of them in its XMP.
    void heifEditKeepsNoStaleXmp()
    {
        for (const QString format : {"heic", "avif"}) {
            const QString photo = picture("edited", format);
            QVERIFY(exiftool({"-XMP-dc:Description=Old title", "-XMP-dc:Creator=Old author",
                              "-XMP-dc:Rights=Old rights", "-ImageDescription=Old title",
                              "-Artist=Old author", "-Copyright=Old rights", photo}));
            const QString copy = path("edited Tagged." + format);
            MetadataEngine::writeImage(photo, copy,
                                       {{"title", "Title", "New title"},
                                        {"author", "Author", "New author"},
                                        {"copyright", "Copyright", ""}},
                                       false, false);
            const QString tags = reports({copy})[copy];
            QVERIFY2(tags.contains("New title") && tags.contains("New author") && !tags.contains("Old"),
                     qPrintable(tags));
        }
    }

    // The copy is kept only when exiftool can read it and finds nothing of what was to go:
    // without exiftool nothing is written, and a reader that fails or still finds a location or a
    // tag refuses the copy.
    void readBackDecides()
    {
        const QString photo = picture("checked", "jpg");
        QVERIFY(exiftool({"-GPSLatitude=48.85837", "-GPSLatitudeRef=N", "-Artist=Ann Smith", photo}));
        const QString real = QStandardPaths::findExecutable("exiftool"),
                      sed = QStandardPaths::findExecutable("sed");
        QVERIFY(!real.isEmpty() && !sed.isEmpty());
        const auto attempt = [&](const QByteArray& script, bool strip) {
            const QString bin = path("bin"), copy = path("checked copy.jpg");
            QDir(bin).removeRecursively();
            QDir().mkpath(bin);
            if (!script.isEmpty()) {
                writeFile(bin + "/exiftool", "#!/bin/sh\n" + script + "\n");
                QFile::setPermissions(bin + "/exiftool", QFile::ReadOwner | QFile::ExeOwner);
            }
            qputenv("TOLVANE_SEARCH_PATH", bin.toUtf8());
            QString why;
            try {
                MetadataEngine::writeImage(photo, copy, {}, strip, !strip);
            } catch (const ConvertError& e) {
                why = e.message();
            }
            qunsetenv("TOLVANE_SEARCH_PATH");
            const bool written = QFile::exists(copy);
            QFile::remove(copy);
            return why.isEmpty() ? QStringLiteral("kept")
                                 : why + (written && script.isEmpty() ? " (written)" : "");
        };
        const QByteArray wrapped =
            real.toUtf8() + " \"$@\" | " + sed.toUtf8() + " 's/\"SourceFile\"/%1, \"SourceFile\"/'";
        QCOMPARE(attempt("exec " + real.toUtf8() + " \"$@\"", false), QStringLiteral("kept"));
        QCOMPARE(attempt("exec " + real.toUtf8() + " \"$@\"", true), QStringLiteral("kept"));
        QCOMPARE(
            attempt({}, false),
            QStringLiteral("This needs exiftool. Install it with: sudo apt install libimage-exiftool-perl"));
        QCOMPARE(attempt("exit 1", false),
                 QStringLiteral(
                     "Couldn’t read back the copy of checked.jpg to check its tags, so no copy was saved"));
        QCOMPARE(attempt("echo '[{\"ExifTool:Error\": \"File format error\"}]'", true),
                 QStringLiteral(
                     "Couldn’t read back the copy of checked.jpg to check its tags, so no copy was saved"));
        QCOMPARE(attempt(QString(wrapped).arg("\"XMP-drone-dji:GpsLatitude\": 48.85").toUtf8(), false),
                 QStringLiteral("Couldn’t remove the location from checked.jpg, so no copy was saved"));
        QCOMPARE(attempt(QString(wrapped).arg("\"PNG:PhotoshopCity\": {\"id\": \"photoshop:City\"}").toUtf8(),
                         false),
                 QStringLiteral("Couldn’t remove the location from checked.jpg, so no copy was saved"));
        QCOMPARE(
            attempt(QString(wrapped).arg("\"XMP-dc:Creator\": \"Ann\", \"IPTC:Keywords\": \"sea\"").toUtf8(),
                    true),
            QStringLiteral(
                "Couldn’t remove the XMP tags and the IPTC tags from checked.jpg, so no copy was saved"));
    }
};

QTEST_MAIN(LocationRemovalTest)
#include "test_locationremoval.moc"
