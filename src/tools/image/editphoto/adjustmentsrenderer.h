#pragma once

#include "tools/image/editphoto/photoadjustments.h"

#include <QImage>

// The pictures of the Edit Photo tool: its preview and its saved copies.
namespace AdjustmentsRenderer {

// `image` with `a` applied, the same size, alpha kept. The default adjustments give `image`
// back untouched; otherwise the result is ARGB32 (RGB32 when `image` has no alpha). The work
// is done in linear light, one band of rows at a time, in this order: exposure (× 2^EV);
// saturation toward Rec. 709 luminance, brightness (+ 0.25 · b / 100) and contrast about 0.5
// (× 1 + 0.5 · c / 100); shadows and highlights on a luminance curve; the highlight lift and
// the whites and blacks tone curves; gamma (power 2^(−g / 100)); temperature and tint as a
// change of white from 6500 K to 6500 − 30 · t K; vibrance (saturation weighted toward dull
// colours); noise reduction and sharpening of luminance detail against a blur with replicated
// borders; a vignette that darkens toward the corners and leaves the centre alone. Values are
// clamped once, at the end. A null image when there is no memory for the result.
QImage render(const QImage& image, const PhotoAdjustments& a);

} // namespace AdjustmentsRenderer
