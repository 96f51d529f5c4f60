#pragma once

#include <QImage>
#include <QString>

// PNG files of 8-bit grey, RGB and RGBA images, their strips of rows filtered and deflated on
// the worker pool and written in order as they are done. A file holds what Qt's PNG encoder
// would write (the same pixels, the colour space as an ICC profile, the resolution, the offset)
// and no more; text is left out.
namespace PngWriter {

// Whether write() takes `image`: every format but the indexed, 1-bit and 16-bit ones, which
// only Qt's encoder writes faithfully.
bool accepts(const QImage& image);

// Writes `image`, which must be accepted, into a new file at `path`. Throws ConvertError with
// the plain cause when a write fails; the caller removes what was left.
void write(const QImage& image, const QString& path);

} // namespace PngWriter
