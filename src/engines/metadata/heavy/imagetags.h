#pragma once

#include <QSize>
#include <QStringList>
#include <exiv2/exiv2.hpp>
#include <optional>
#include <string>

class LocationRule;

// The tags an image file holds, read by what the file is (ImageContent::format), not by its name:
// HEIC and AVIF through libheif, which finds their Exif and XMP blocks, every other format
// through exiv2.
struct ImageTags
{
    Exiv2::ExifData exif; // the primary picture's first, then those of the file's other pictures
    Exiv2::IptcData iptc;
    Exiv2::XmpData xmp;
    std::string xmpPacket; // the XMP as stored, also when it could not be parsed
    std::string comment;   // a JPEG's comment
    QSize size;            // as the picture is shown; empty when unknown

    // Mutes exiv2's warnings and readies its XMP parser, once per process.
    static void setUpExiv2();
    // Whether the exiv2 key `key` belongs to a location: coordinates or a place name, in any
    // directory, namespace or record (LocationNames::isLocationKey).
    static bool isLocation(const std::string& key);

    // The tags of `path` read as `format`; none when the file cannot be read as an image.
    static std::optional<ImageTags> read(const QString& path, const QString& format);

    // Shows every tag and the comment to `rule`, which learns the place names they hold.
    void teach(LocationRule& rule) const;
    // Whether a tag or the comment tells a location, as `rule` judges it.
    bool holdsLocation(const LocationRule& rule) const;

    // What is still here that a strip (`strip`) or else a location removal (as `rule` tells a
    // location) takes away, in words for a message: "the location", "the Exif tags", "the XMP
    // tags", "the IPTC tags", "the comment". A strip leaves the tags a picture needs to be shown
    // (its layout, orientation and colour profile), which are not counted.
    QStringList leftovers(bool strip, const LocationRule& rule) const;
    // leftovers() with a rule that knows the place names these tags hold.
    QStringList leftovers(bool strip) const;
};
