#include "engines/metadata/heavy/imagelocation.h"

#include "engines/metadata/heavy/imagetags.h"

#include <QStringList>
#include <cmath>
#include <optional>

namespace {

struct Coordinate
{
    double degrees;
    QString reference; // "N", "S", "E" or "W"; empty when the tags give none
};

// The tag's text; empty when it is absent.
template <class Key, class Data> QString text(const Data& data, const std::string& key)
{
    const auto it = data.findKey(Key(key));
    return it == data.end() ? QString() : QString::fromStdString(it->toString()).trimmed();
}

QString value(const Exiv2::ExifData& data, const std::string& key)
{
    return text<Exiv2::ExifKey>(data, key);
}

QString value(const Exiv2::IptcData& data, const std::string& key)
{
    return text<Exiv2::IptcKey>(data, key);
}

QString value(const Exiv2::XmpData& data, const std::string& key)
{
    return text<Exiv2::XmpKey>(data, key);
}

// Degrees from the GPS directory's three rationals; none when they are not three finite numbers.
std::optional<Coordinate> fromExif(const Exiv2::ExifData& exif, const char* key, const char* refKey)
{
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end() || it->count() != 3) return std::nullopt;
    double sum = 0;
    for (long i = 0; i < 3; ++i) {
        const Exiv2::Rational r = it->toRational(i);
        if (r.second == 0) return std::nullopt;
        sum += double(r.first) / r.second / std::pow(60.0, double(i));
    }
    if (!std::isfinite(sum)) return std::nullopt;
    return Coordinate{sum, value(exif, refKey)};
}

// Degrees from XMP's "DDD,MM,SSk" or "DDD,MM.mmk", whose last letter is the hemisphere.
std::optional<Coordinate> fromXmp(const Exiv2::XmpData& xmp, const std::string& key)
{
    QString text = value(xmp, key);
    if (text.isEmpty() || !QStringLiteral("NSEW").contains(text.back().toUpper())) return std::nullopt;
    const QString reference = text.back().toUpper();
    text.chop(1);
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() > 3) return std::nullopt;
    double sum = 0;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        bool ok = false;
        const double part = parts[i].trimmed().toDouble(&ok); // always the C locale
        if (!ok || part < 0) return std::nullopt;
        sum += part / std::pow(60.0, double(i));
    }
    if (!std::isfinite(sum)) return std::nullopt;
    return Coordinate{sum, reference};
}

QString coordinates(const Coordinate& lat, const Coordinate& lon)
{
    return QStringLiteral("%1° %2, %3° %4")
        .arg(QString::number(lat.degrees, 'f', 4),
             lat.reference.isEmpty() ? QStringLiteral("N") : lat.reference,
             QString::number(lon.degrees, 'f', 4),
             lon.reference.isEmpty() ? QStringLiteral("E") : lon.reference);
}

QString places(const QStringList& names)
{
    QStringList given;
    for (const QString& name : names)
        if (!name.isEmpty()) given << name;
    return given.join(QStringLiteral(", "));
}

} // namespace

namespace ImageLocation {

QString describe(const ImageTags& tags)
{
    const auto exifLat = fromExif(tags.exif, "Exif.GPSInfo.GPSLatitude", "Exif.GPSInfo.GPSLatitudeRef");
    const auto exifLon = fromExif(tags.exif, "Exif.GPSInfo.GPSLongitude", "Exif.GPSInfo.GPSLongitudeRef");
    if (exifLat && exifLon) return coordinates(*exifLat, *exifLon);
    static const std::string xmpPlaces[] = {
        "Xmp.exif.", "Xmp.iptcExt.LocationCreated[1]/exif:", "Xmp.iptcExt.LocationShown[1]/exif:"};
    for (const std::string& at : xmpPlaces) {
        const auto lat = fromXmp(tags.xmp, at + "GPSLatitude"), lon = fromXmp(tags.xmp, at + "GPSLongitude");
        if (lat && lon) return coordinates(*lat, *lon);
    }
    QStringList named{value(tags.xmp, "Xmp.photoshop.City"), value(tags.xmp, "Xmp.photoshop.State"),
                      value(tags.xmp, "Xmp.photoshop.Country")};
    if (const QString place = places(named); !place.isEmpty()) return place;
    named = {value(tags.iptc, "Iptc.Application2.City"), value(tags.iptc, "Iptc.Application2.ProvinceState"),
             value(tags.iptc, "Iptc.Application2.CountryName")};
    if (const QString place = places(named); !place.isEmpty()) return place;
    for (const std::string at : {"Xmp.iptcExt.LocationCreated[1]/", "Xmp.iptcExt.LocationShown[1]/"}) {
        named = {value(tags.xmp, at + "Iptc4xmpExt:City"), value(tags.xmp, at + "Iptc4xmpExt:ProvinceState"),
                 value(tags.xmp, at + "Iptc4xmpExt:CountryName")};
        if (const QString place = places(named); !place.isEmpty()) return place;
    }
    return {};
}

} // namespace ImageLocation
