#pragma once

#include "engines/metadata/metafield.h"

// The tags of still images and GIFs, read and rewritten with exiv2 without touching the pixels
// where the format allows (JPEG, PNG, TIFF, WebP, and HEIC and AVIF, whose coded pictures are
// copied as they are: a HEIF file is encoded again only when its boxes cannot be followed). A file is read
// and written as what its bytes hold, whatever its name says: a HEIC photo named .jpg is a HEIC photo.
namespace MetadataEngine {

// Never fails: an image whose tags cannot be read has no editable fields and no facts.
ImageFields imageFields(const QString& path);

// Writes a copy of `source` at `destination` (a new file). Stripped: the copy is made of what
// shows the picture alone, so that no tag, comment, text, location or part no reader knows is
// left, but the orientation and the colour profile stay, a GIF keeps every frame and a TIFF every
// page with its sub-pictures. Edited: `fields` (only those the user changed) are set, "" removing a
// tag, and every other tag stays; `removeGPS` also drops the location, its coordinates and
// place names wherever the format keeps tags (LocationNames tells which tags), from every page
// of a TIFF and every picture of a JPEG. A strip takes a JPEG's first picture alone, and a
// location removal the pictures its multi-picture index points at: what else lies behind the
// first picture goes. Keywords go where the format holds them (IPTC, else XMP); a format that
// has no place for an edited field, and a TIFF of several pages, fail with a message saying so,
// never dropping the edit silently. A stripped or location-free copy is read back by exiv2 and
// by exiftool before it is kept: one that still holds a location, Exif, XMP or IPTC tags it
// should have lost, or that cannot be read back, is refused, naming what is left; without
// exiftool nothing is written. Throws "Couldn’t read the image", "Couldn’t write the image" and
// the like.
// Returns a note when a HEIC or AVIF had to be encoded again, which keeps its primary picture
// alone, at 8 bits.
QStringList writeImage(const QString& source, const QString& destination, const QList<MetaField>& fields,
                       bool strip, bool removeGPS);

} // namespace MetadataEngine
