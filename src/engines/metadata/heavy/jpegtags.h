#pragma once

#include <QByteArray>
#include <QList>
#include <optional>

class LocationRule;

// The tags of a JPEG file in its segments: Exif (APP1), XMP and its extension segments (APP1),
// the Photoshop resource block with the IPTC records (APP13, split over segments when large),
// and the pictures a multi-picture index (APP2 "MPF") points at behind the first, each with
// tags of its own.
namespace JpegTags {

// The file's pictures: the first, through its end marker, then those its multi-picture index
// points at, in the index's order. One picture when there is no index. None when the segments or
// the index cannot be followed.
std::optional<QList<QByteArray>> pictures(const QByteArray& data);

// The pictures as one file, the first picture's multi-picture index rewritten to point at the
// others where they now are. None when `pictures` has more than one picture and the first one's
// index does not have an entry for each.
std::optional<QByteArray> joined(const QList<QByteArray>& pictures);

// `after`, a copy of the JPEG `before` whose first picture's header was rewritten and
// everything behind it carried over, with its multi-picture index pointing at the pictures where
// they now are. `after` as it is when either has no index that can be followed.
QByteArray reindexed(const QByteArray& before, QByteArray after);

// `data` without a location, as `rule` tells it, in the tags and comments of any of its pictures
// (LocationBlocks, an extended XMP keyed anew or dropped as a whole). `data` itself when it holds
// none. Otherwise the pictures
// joined, or the first alone without its index when the index cannot be followed; what followed
// the pictures is left out. None when `data` is not a JPEG whose segments can be followed.
std::optional<QByteArray> withoutLocation(const QByteArray& data, LocationRule& rule);

} // namespace JpegTags
