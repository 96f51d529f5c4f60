#pragma once

#include "engines/compress/compresssettings.h"

#include <QString>
#include <functional>

namespace Compressor {

// Re-encodes the picture in `source` into `destination` (created or replaced) in the source's
// own format (jpg when the catalog knows none, png for bmp), carrying its properties upright.
// Quality mode writes once at the level's quality (a lossless format at balanced or small is
// shrunk to 0.75 or 0.5 instead); the goal modes search the highest quality under the goal, in
// seven trials per pass, shrinking by 0.8 between up to six passes. A write whose size cannot be
// read never counts as fitting. `stopped` is asked before every trial: when it answers true the
// call throws Cancelled. Throws the image engine's errors.
ImageCompressResult image(const QString& source, const ImageCompressSettings& settings,
                          const QString& destination, const std::function<bool()>& stopped = {});

} // namespace Compressor
