#pragma once

#include <QByteArray>
#include <optional>

// The tags of a WebP file: its EXIF chunk and its XMP chunk, also under the name "XMP\0" that
// ImageMagick gives it.
namespace WebpChunks {

// `data` without a location in its tags: the Exif loses its GPS directories and the XMP its
// location; a chunk left empty goes, with its flag in the extended header. Every other chunk stays
// byte for byte, and `data` itself comes back when it holds no location. None when its chunks
// cannot be followed.
std::optional<QByteArray> withoutLocation(const QByteArray& data);

} // namespace WebpChunks
