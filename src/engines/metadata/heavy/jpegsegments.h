#pragma once

#include <QByteArray>
#include <optional>

namespace JpegSegments {

// The JPEG `data` without the segments that describe rather than draw: APP1 to APP13 and APP15
// (Exif, XMP, ICC profiles, IPTC and the like) and comments, and without whatever follows its end
// of image (appended previews with tags of their own). The JFIF and Adobe segments, the tables,
// frame and scan headers and the entropy-coded data stay byte for byte, so it decodes to the same
// pixels. None when `data` is not a well-formed JPEG or holds nothing to remove.
std::optional<QByteArray> withoutTags(const QByteArray& data);

} // namespace JpegSegments
