#pragma once

#include <QStringView>
#include <string>

// Which tags tell where a picture was taken or what place it shows, by their names alone, so that
// a drone maker's or an unknown program's own XMP counts as well as the tags every reader knows.
namespace LocationNames {

// Whether a tag, property or text chunk named `name` holds a coordinate or a place: a name with
// "GPS" in it, one that ends in Latitude, Longitude or Altitude, one that starts with City,
// State, Province, Country, Location, Sub-location, ContentLocation or Place as a word of its own
// (CityName and Country-PrimaryLocationName are places, Statement and Placement are not), one
// with the word Location, Coordinates or Geo in it (LocalLocationName, shotLocation,
// GeoLocation; not Allocation or Surgeon), Dublin Core's coverage, and the place terms of Darwin
// Core (locality, county, municipality, island, continent, water body, elevation, depth and the
// like). A point in the picture (where its subject, a face or the focus is), a lens's geometry,
// a camera's world-time and clock settings are none, and so is the country of a creator's
// address, which is no place the picture shows. Letter case does not matter but
// to tell a word's start; a namespace or prefix before the last ':' is left out.
bool isLocationName(QStringView name);

// Whether the exiv2 key `key` holds a location: the GPS directories, and any Exif tag, IPTC
// record or XMP property (or a structure it sits in) whose name is a location name.
bool isLocationKey(const std::string& key);

// Whether a field named `name` holds a place's name rather than its coordinates or how they were
// measured: a location name without GPS, Latitude, Longitude, Altitude, Coordinates, Elevation,
// Datum or Depth in it.
bool namesAPlace(QStringView name);

} // namespace LocationNames
