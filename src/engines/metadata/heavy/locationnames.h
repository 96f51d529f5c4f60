#pragma once

#include <QStringView>
#include <string>

// Which tags tell where a picture was taken or what place it shows, by their names alone, so that
// a drone maker's or an unknown program's own XMP counts as well as the tags every reader knows.
namespace LocationNames {

// Whether a tag, property or text chunk named `name` holds a coordinate or a place: a name with
// "GPS" in it, one that ends in Latitude, Longitude or Altitude, or one that starts with City,
// State, Province, Country, Location, Sub-location, ContentLocation or Place as a word of its own
// (CityName and Country-PrimaryLocationName are places, Statement and Placement are not). Letter
// case does not matter; a namespace or prefix before the last ':' is left out.
bool isLocationName(QStringView name);

// Whether the exiv2 key `key` holds a location: the GPS directories, and any Exif tag, IPTC
// record or XMP property (or a structure it sits in) whose name is a location name.
bool isLocationKey(const std::string& key);

} // namespace LocationNames
