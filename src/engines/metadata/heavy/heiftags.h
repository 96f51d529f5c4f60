#pragma once

#include <QByteArray>
#include <exiv2/exiv2.hpp>
#include <functional>
#include <optional>

// The tags of a HEIF file (HEIC, AVIF) taken out or changed in its Exif and XMP items, every
// coded picture copied as it is: its bit depth, its chroma and its other pictures stay.
namespace HeifTags {

// A copy of `file` that keeps only what shows its pictures: each picture that is not a
// thumbnail, the tiles and alpha it is made of, and the properties that code, size, colour, turn
// and crop it. None when its boxes cannot be followed.
std::optional<QByteArray> stripped(const QByteArray& file);

struct Changes
{
    // Changes an Exif item's tags; `primary` tells the primary picture's own. Given an empty set
    // for a primary picture without Exif, what it adds becomes the picture's new Exif item.
    std::function<void(Exiv2::ExifData&, bool primary)> exif;
    std::function<void(Exiv2::XmpData&, bool primary)> xmp;
};

// A copy of `file` whose Exif and XMP items are changed by `changes`; an item left without tags
// goes, an item left as it was keeps its bytes. None when its boxes or its items cannot be read.
std::optional<QByteArray> changed(const QByteArray& file, const Changes& changes);

} // namespace HeifTags
