#pragma once

#include <QByteArray>
#include <optional>

class LocationRule;

// The location taken out of one block of tags, wherever a file keeps that block, as `rule` tells
// it; each block's fields are shown to the rule before they are judged. Each returns none when the
// block holds no location, else the block without it, which is empty when nothing else was in it,
// or when the block cannot be read but may hold one: a place unseen is not kept.
namespace LocationBlocks {

// An Exif block, with or without the "Exif" header it has in JPEG and WebP files, as tiff() leaves
// it.
std::optional<QByteArray> exif(const QByteArray& block, LocationRule& rule);

// The classic TIFF `data` (an Exif block or a TIFF file) without its GPS directories and the
// fields that hold a location (TiffTags::withoutLocation), without the location fields of its
// maker note (their text overwritten with zeros where it lies, the maker note's every byte when a
// field is not text), and with its Exif thumbnail cleaned as a JPEG photo is. Everything stays
// where it was. None when its pages cannot be followed.
std::optional<QByteArray> tiff(const QByteArray& data, LocationRule& rule);

// An XMP packet, without the properties (and structures) that are location.
std::optional<QByteArray> xmp(const QByteArray& packet, LocationRule& rule);

// IPTC IIM records, without the place names, the content location and what repeats them.
std::optional<QByteArray> iptc(const QByteArray& records, LocationRule& rule);

// A Photoshop image resource block (8BIM resources, as in a JPEG's APP13 and TIFF tag 34377),
// with its IPTC and XMP resources taken through iptc() and xmp(); an emptied resource goes.
std::optional<QByteArray> photoshop(const QByteArray& resources, LocationRule& rule);

} // namespace LocationBlocks
