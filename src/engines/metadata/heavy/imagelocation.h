#pragma once

#include <QString>

struct ImageTags;

// Where a picture was taken or what place it shows, as the Metadata window's Location row says it.
namespace ImageLocation {

// The coordinates "48.8584° N, 2.2945° E" from the GPS directory, else from XMP (exif:GPS, then
// the IPTC Extension's place created, then its place shown); without coordinates, the place
// names ("Paris, Île-de-France, France") of XMP, IPTC or the IPTC Extension. Empty when the
// tags name no place.
QString describe(const ImageTags& tags);

} // namespace ImageLocation
