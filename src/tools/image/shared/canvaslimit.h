#pragma once

#include <QSizeF>
#include <QString>

// The largest picture the compositing tools make: a bitmap past it would take gigabytes, so it
// is refused with a message instead of exhausting memory.
namespace CanvasLimit {

constexpr double maxSide = 32768;
constexpr double maxPixels = 250'000'000;

// Whether a canvas of `size` pixels (rounded as the bitmap rounds it) may be made.
bool fits(QSizeF size);

// Throws ConvertError naming `what` ("The collage") and its size when it does not fit.
void check(QSizeF size, const QString& what);

} // namespace CanvasLimit
