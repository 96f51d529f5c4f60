#pragma once

#include "toolkit/cropaspect.h"

#include <QList>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QString>

// The sizes of the crop video window: the video's pixel size as the crop rectangle must treat
// it, and the size of the result.
namespace CropVideoSizes {

// The aspect presets the window offers, in order (no 3:4).
QList<CropAspect> offeredAspects();

// The shown frame's shape scaled so that its longer side is the probed picture's longer side, so
// a frame grabbed small (and turned upright by the clip's display rotation) stands for the
// full-size picture; the frame's own size without a probed size, 0 × 0 without a frame.
QSizeF pixelSize(QSize frame, QSize probed);

// The result's size for unit rectangle `rect` of a picture of `pixels`: each side's whole
// pixels, rounded down to even as the encoder needs.
QSize outputSize(const QRectF& rect, QSizeF pixels);

// "1280 × 720 px".
QString sizeLabel(QSize size);

} // namespace CropVideoSizes
