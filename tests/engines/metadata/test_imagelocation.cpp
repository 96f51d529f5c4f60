// The location a photo holds besides its GPS directory: coordinates in XMP (exif:GPS and the
// IPTC Extension's places shown and created) and place names in IPTC and XMP, as exiftool
// writes them, shown by the reader and gone from a location-free copy in every format.

#include "engines/metadata/heavy/imagemetadata.h"
#include "engines/metadata/heavy/locationnames.h"
#include "engines/metadata/heavy/locationrule.h"

#include "core/converterror.h"

#include "../../support/programoutput.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString report(const QString& path)
{
    return programOutput("exiftool", {"-a", "-ee", "-G1", path});
}

bool tag(const QString& path, const QStringList& tags)
{
    return !programOutput("exiftool",
                          QStringList{"-q", "-q", "-m", "-overwrite_original"} + tags + QStringList{path})
                .startsWith('<');
}

// Why writing a copy without the location failed; empty when it was written.
QString removeLocation(const QString& source, const QString& destination, const QList<MetaField>& edits = {})
{
    try {
        MetadataEngine::writeImage(source, destination, edits, false, true);
        return {};
    } catch (const ConvertError& e) {
        return e.message();
    }
}

QString location(const ImageFields& fields)
{
    for (const auto& [label, text] : fields.info)
        if (label == QLatin1String("Location")) return text;
    return {};
}

} // namespace

class ImageLocationTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // A 32 × 24 picture in `format` with `tags` written by exiftool.
    QString picture(const QString& name, const QString& format, const QStringList& tags)
    {
        const QString png = path(name + ".png"), out = path(name + "." + format);
        if (!programOutput("/usr/bin/convert", {"-size", "32x24", "xc:teal", "PNG24:" + png}).isEmpty())
            return {};
        if (format == QLatin1String("heic") || format == QLatin1String("avif")) {
            const QStringList av1 = format == QLatin1String("avif") ? QStringList{"-A"} : QStringList();
            if (programOutput("heif-enc", av1 + QStringList{"-q", "80", png, "-o", out}).startsWith('<'))
                return {};
        } else if (format != QLatin1String("png") &&
                   !programOutput("/usr/bin/convert", {png, out}).isEmpty()) {
            return {};
        }
        return tag(out, tags) ? out : QString();
    }

  private slots:
    // Coordinates only in XMP, and place names wherever the format keeps them: the window is
    // told of them, and a tagged copy without the location keeps the other tags, XMP included.
    void xmpAndIptcPlacesGo_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("titled");
        for (const char* format : {"jpg", "png", "webp", "tif", "heic", "avif"})
            QTest::newRow(format) << QString(format) << true;
        // A TIFF's location alone is taken out of its pages by hand.
        QTest::newRow("tif untitled") << QStringLiteral("tif") << false;
    }

    void xmpAndIptcPlacesGo()
    {
        QFETCH(QString, format);
        QFETCH(bool, titled);
        const QString photo = picture(
            "trip", format,
            {"-XMP-iptcExt:LocationShownGPSLatitude=48.85837 N",
             "-XMP-iptcExt:LocationShownGPSLongitude=2.294481 E", "-XMP-iptcExt:LocationShownCity=Paris",
             "-XMP-iptcExt:LocationCreatedGPSLatitude=45.76 N", "-XMP-iptcExt:LocationCreatedCity=Lyon",
             "-XMP-photoshop:City=Paris", "-XMP-photoshop:State=Ile-de-France",
             "-XMP-photoshop:Country=France", "-IPTC:City=Paris", "-IPTC:Province-State=Ile-de-France",
             "-IPTC:Country-PrimaryLocationName=France", "-IPTC:Keywords=tower", "-XMP-dc:Creator=Ann",
             "-Artist=Ann"});
        QVERIFY(!photo.isEmpty());
        const ImageFields read = MetadataEngine::imageFields(photo);
        QVERIFY(read.hasGPS);
        // The place created has no longitude, so the place shown gives the coordinates.
        QCOMPARE(location(read), QStringLiteral("48.8584° N, 2.2945° E"));

        const QString copy = path(QString(QTest::currentDataTag()) + " Tagged." + format);
        const QList<MetaField> title{{"title", "Title", "Tower"}};
        QCOMPARE(removeLocation(photo, copy, titled ? title : QList<MetaField>()), QString());
        const QString tags = report(copy);
        for (const char* gone : {"GPS", "Location", "Paris", "Lyon", "France", "City"})
            QVERIFY2(!tags.contains(gone), qPrintable(QString(gone) + " in\n" + tags));
        // The XMP that was not asked to go stays, also in a HEIF file that is encoded again.
        QVERIFY2(tags.contains(QRegularExpression("XMP-dc\\]\\s+Creator\\s+: Ann")) &&
                     tags.contains("Tower") == titled,
                 qPrintable(tags));
        // A TIFF's records, rewritten by hand, are as well-formed as the source's.
        const auto warnings = [](const QString& file) {
            return programOutput("exiftool", {"-validate", "-warning", "-a", "-s3", file});
        };
        if (format == QLatin1String("tif")) QCOMPARE(warnings(copy), warnings(photo));
        const ImageFields after = MetadataEngine::imageFields(copy);
        QVERIFY(!after.hasGPS);
        QCOMPARE(location(after), QString());
    }

    // A tag's text is a location when it holds coordinates in any form readers and people write
    // them, or repeats a place the file names; numbers, dates, lists of numbers and ordinary words
    // are not.
    void locationInText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("location");
        const std::pair<const char*, bool> rows[] = {
            {"48.85837, 2.294481", true},
            {"43 12N 5 27E", true},
            {"48°51'30.1\"N 2°17'40.1\"E", true},
            {"48 deg 51' 30.13\" N", true},
            {"48,51.5022N", true},
            {"+48.8584+002.2945/", true},
            {"[latitude: 43.2917] [longitude: 5.3778]", true},
            {"Boats near Marseille", true},
            {"120.5", false},
            {"Evening swim 12.05.2024, 35.5 m", false},
            {"2024:05:12 10:30:00+02:00", false},
            {"0.43607 0.22249 0.01392", false},
            {"1/125 s, f/2.8, 24-70 mm", false},
            {"Rotated 90°", false},
            {"uuid:faf5bdd5-ba3d-11da-ad31-d33d75182f1b", false},
            {"+33 1 23 45 67 89", false},
            {"Marseilles soap", false},
            {"marseille", true},
            {"a marseille soap", false},
        };
        for (const auto& [text, location] : rows)
            QTest::newRow(text) << QString::fromUtf8(text) << location;
    }

    void locationInText()
    {
        QFETCH(QString, text);
        QFETCH(bool, location);
        LocationRule rule;
        rule.learn(u"photoshop:City", u"Marseille");
        rule.learn(u"exif:GPSMapDatum", u"WGS-84"); // a datum is no place
        QCOMPARE(rule.holdsLocation(text), location);
        QVERIFY(!rule.holdsLocation(u"WGS-84"));
    }

    // Tags named for a place, by the words of their names, and tags whose names only sound so.
    void locationNames()
    {
        for (const char* place : {"LocalLocationName", "shotLocation", "GeoLocation", "Coordinates",
                                  "coverage", "DCCounty", "dwc:municipality", "dctermsLocation",
                                  "verbatimCoordinates", "LocationInfoVersion", "minimumElevationInMeters"})
            QVERIFY2(LocationNames::isLocationName(QString::fromLatin1(place)), place);
        for (const char* other : {"Allocation", "SubjectLocation", "FocusLocation", "WorldTimeLocation",
                                  "GeometricDistortionParams", "CameraElevationAngle", "CreatorCountry",
                                  "SetClockFromLocationData", "Statement", "Placement"})
            QVERIFY2(!LocationNames::isLocationName(QString::fromLatin1(other)), other);
    }

    // Place names alone are a location too, said as the file names it.
    void placeNamesAlone()
    {
        const QString photo = picture("named", "jpg",
                                      {"-IPTC:City=Paris", "-IPTC:Province-State=Ile-de-France",
                                       "-IPTC:Country-PrimaryLocationName=France", "-IPTC:Keywords=tower"});
        QVERIFY(!photo.isEmpty());
        const ImageFields read = MetadataEngine::imageFields(photo);
        QVERIFY(read.hasGPS);
        QCOMPARE(location(read), QStringLiteral("Paris, Ile-de-France, France"));
        QVERIFY(tag(photo, {"-XMP-iptcExt:LocationCreatedCity=Lyon", "-IPTC:all="}));
        QCOMPARE(location(MetadataEngine::imageFields(photo)), QStringLiteral("Lyon"));
        // XMP coordinates in the exif namespace, southern and western.
        QVERIFY(tag(photo, {"-XMP-exif:GPSLatitude=33.8688 S", "-XMP-exif:GPSLongitude=70.65 W"}));
        QCOMPARE(location(MetadataEngine::imageFields(photo)), QStringLiteral("33.8688° S, 70.6500° W"));

        QCOMPARE(removeLocation(photo, path("named Tagged.jpg")), QString());
        const QString tags = report(path("named Tagged.jpg"));
        QVERIFY2(!tags.contains("GPS") && !tags.contains("Lyon"), qPrintable(tags));
    }
};

QTEST_MAIN(ImageLocationTest)
#include "test_imagelocation.moc"
