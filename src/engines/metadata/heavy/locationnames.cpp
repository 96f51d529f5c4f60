#include "engines/metadata/heavy/locationnames.h"

#include <QString>
#include <QStringList>

namespace {

// Whether `name` starts with the word `word`: the name ends there, or a capital, a digit or a
// separator follows.
bool startsWithWord(QStringView name, QLatin1StringView word)
{
    if (!name.startsWith(word, Qt::CaseInsensitive)) return false;
    return name.size() == word.size() || !name[word.size()].isLower();
}

// Whether the word `word` (capitalised, as "Location") is in `name`: at its start in any case,
// or further on with its capital, as camel-case names join words.
bool holdsWord(QStringView name, QLatin1StringView word)
{
    return name.startsWith(word, Qt::CaseInsensitive) || name.contains(word);
}

} // namespace

namespace LocationNames {

bool isLocationName(QStringView name)
{
    name = name.mid(name.lastIndexOf(QLatin1Char(':')) + 1);
    // Points in the picture (where the subject, a face or the focus is), a lens's geometry, rock
    // strata, and a camera's settings for its clock and its recording of places.
    for (const char* other : {"Subject", "Focus", "Face", "AFPoint", "Geometr", "Geolog", "WorldTime",
                              "SetClock", "RecordLocation"})
        if (name.contains(QLatin1String(other), Qt::CaseInsensitive)) return false;
    if (name.contains(QLatin1String("gps"), Qt::CaseInsensitive)) return true;
    for (const char* end : {"latitude", "longitude", "altitude"})
        if (name.endsWith(QLatin1String(end), Qt::CaseInsensitive)) return true;
    for (const char* word :
         {"city", "state", "province", "country", "location", "sublocation", "sub-location",
          "contentlocation", "place", "coverage", "coordinate", "minimumelevation", "maximumelevation",
          "verbatimelevation", "minimumdepth", "maximumdepth"})
        if (startsWithWord(name, QLatin1StringView(word))) return true;
    for (const char* word : {"Location", "Coordinates", "Geo", "Locality", "Municipality", "County",
                             "StateProvince", "Island", "WaterBody", "Continent", "Footprint"})
        if (holdsWord(name, QLatin1StringView(word))) return true;
    return false;
}

bool isLocationKey(const std::string& key)
{
    const QString text = QString::fromStdString(key);
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() < 3) return false;
    if (parts[0] == QLatin1String("Exif") && parts[1].startsWith(QLatin1String("GPS"))) return true;
    // An XMP key's path names each structure and array on the way down, as in
    // Xmp.iptcExt.LocationShown[1]/Iptc4xmpExt:City.
    for (QStringView step :
         QStringView(text).mid(parts[0].size() + parts[1].size() + 2).split(QLatin1Char('/'))) {
        const qsizetype index = step.indexOf(QLatin1Char('['));
        if (isLocationName(index < 0 ? step : step.left(index))) return true;
    }
    return false;
}

bool namesAPlace(QStringView name)
{
    name = name.mid(name.lastIndexOf(QLatin1Char(':')) + 1);
    if (!isLocationName(name)) return false;
    for (const char* measure :
         {"gps", "latitude", "longitude", "altitude", "coordinates", "elevation", "datum", "depth"})
        if (name.contains(QLatin1String(measure), Qt::CaseInsensitive)) return false;
    return true;
}

} // namespace LocationNames
