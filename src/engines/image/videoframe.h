#pragma once

#include <QString>

class QImage;

namespace Media {

// One picture of the video at `seconds`, fitted inside a `maxSize` square; a null image when
// none can be had.
QImage frame(const QString& path, double seconds, double maxSize);

} // namespace Media
