#pragma once

#include <QByteArray>
#include <optional>

class LocationRule;

namespace GifBlocks {

// The GIF `data` with only the blocks that show its picture: every frame with its timing and the
// loop count, byte for byte. Comments, text blocks, XMP and any other application or extension
// block go, one no reader knows included. None when `data` is not a well-formed GIF.
std::optional<QByteArray> pictureOnly(const QByteArray& data);

// The GIF `data` without the location, as `rule` tells it, in its XMP application block
// (LocationBlocks::xmp), which goes when nothing else is left in it or it cannot be read, and
// without the comments that hold one. `data` itself when it holds no
// location. None when `data` is not a well-formed GIF.
std::optional<QByteArray> withoutLocation(const QByteArray& data, LocationRule& rule);

} // namespace GifBlocks
