#pragma once

#include <QByteArray>
#include <optional>

class LocationRule;

// The tags of a PNG file, kept in its chunks: Exif in eXIf, and text chunks (tEXt, zTXt, iTXt)
// that hold XMP ("XML:com.adobe.xmp"), the raw Exif, IPTC, Photoshop and XMP profiles
// ImageMagick writes ("Raw profile type exif", "iptc", "8bim", "xmp"), or a tag each, named
// by their keyword ("exif:GPSLatitude", "photoshop:City").
namespace PngChunks {

// `data` with only the chunks that show its picture: the critical ones, transparency, the colour
// chunks (gamma, chromaticities, sRGB, ICC profile, coding-independent code points, significant
// bits), the pixel size and an animation's chunks, each byte for byte. Any other chunk goes, one
// no reader knows included, and so does what follows the end. None when its chunks cannot be
// followed.
std::optional<QByteArray> pictureOnly(const QByteArray& data);

// `data` without a location, as `rule` tells it, in any of its tags: eXIf and the raw Exif
// profiles lose it as LocationBlocks::exif() says, XMP, IPTC and Photoshop profiles their
// location, and a text chunk whose keyword names a place or whose text holds one goes; a profile that cannot
// be read goes as a whole. Every other chunk stays byte for byte, and `data` itself comes back when it holds
// no location. None when its chunks cannot be followed.
std::optional<QByteArray> withoutLocation(const QByteArray& data, LocationRule& rule);

} // namespace PngChunks
