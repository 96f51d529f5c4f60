#pragma once

#include <QByteArray>
#include <optional>

class LocationRule;

namespace GifBlocks {

// The GIF `data` without its comment blocks and the application blocks that carry tags (XMP and
// the like); every frame, its timing and the loop count stay, byte for byte. None when `data` is
// not a well-formed GIF.
std::optional<QByteArray> withoutTags(const QByteArray& data);

// The GIF `data` without the location, as `rule` tells it, in its XMP application block
// (LocationBlocks::xmp), which goes when nothing else is left in it or it cannot be read, and
// without the comments that hold one. `data` itself when it holds no
// location. None when `data` is not a well-formed GIF.
std::optional<QByteArray> withoutLocation(const QByteArray& data, LocationRule& rule);

} // namespace GifBlocks
