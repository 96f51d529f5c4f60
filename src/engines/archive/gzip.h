#pragma once

#include <QString>

// A gzip writer that uses every core on large files: the input is cut into blocks deflated side
// by side, each primed with the end of the block before, and joined into one ordinary gzip member
// (level 6), which every gzip reader reads.
namespace Gzip {

// Compresses the file `input` into a new file `output`. Throws ConvertError::failed.
void compressFile(const QString& input, const QString& output);

} // namespace Gzip
