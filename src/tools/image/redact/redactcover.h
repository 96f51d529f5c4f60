#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>

// The pictures that hide an area in the blur and pixelate styles. Each reads `image` (ARGB32 or
// RGB32) and gives the pixels of `region` (which lies inside the image) as an ARGB32 image of
// the region's size, or a null image when there is no memory for it.
namespace RedactCover {

// The image blurred by three box blurs of together about `sigma` pixels' deviation, its edge
// pixels repeated outward, so that an area at the edge keeps the edge's colours. Only the
// pixels within reach of `region` are read, and the region comes out as if the whole image had
// been blurred.
QImage blurred(const QImage& image, QRect region, double sigma);

// The image in square blocks of `block` pixels on a grid with a corner at `anchor`; each block
// is the alpha-weighted average of its pixels inside the image, also where it reaches beyond the
// region.
QImage pixelated(const QImage& image, QRect region, int block, QPoint anchor);

} // namespace RedactCover
