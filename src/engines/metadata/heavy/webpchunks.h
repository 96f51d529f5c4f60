#pragma once

#include <QByteArray>
#include <optional>

class LocationRule;

// The tags of a WebP file: its EXIF chunk and its XMP chunk, also under the name "XMP\0" that
// ImageMagick gives it.
namespace WebpChunks {

// `data` with only the chunks that show its picture: the extended header, the coded picture and
// its alpha, the animation and its frames (each frame with its own picture and alpha only) and
// the colour profile. Any other chunk goes, one no reader knows included, and so does what
// follows the file's declared end; the extended header no longer announces Exif or XMP. None when
// its chunks cannot be followed.
std::optional<QByteArray> pictureOnly(const QByteArray& data);

// `data` without a location in its tags, as `rule` tells it (LocationBlocks); a chunk left empty goes, with
// its flag in the extended header. Every other chunk stays byte for byte, and `data` itself comes back when
// it holds no location. None when its chunks cannot be followed.
std::optional<QByteArray> withoutLocation(const QByteArray& data, LocationRule& rule);

} // namespace WebpChunks
