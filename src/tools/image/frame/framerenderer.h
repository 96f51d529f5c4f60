#pragma once

#include "tools/image/frame/framesettings.h"

#include <QImage>
#include <QPointF>
#include <QRectF>

// Sets a picture on a larger canvas: the backdrop, the picture at its own pixel size centred
// with rounded corners, and a soft shadow under it. Pure: any thread, several calls at once.
namespace FrameRenderer {

// Where things go for a picture of `picture` pixels, in unrounded canvas pixels (top-left origin).
struct Layout
{
    QSizeF canvas;
    QRectF picture;
    double radius = 0;
    // The shadow's blur, its offset (toward the top edge) and its black's alpha; blur 0 is none.
    double blur = 0;
    QPointF shadowOffset;
    double shadowAlpha = 0;
};

// Padding is L × padding on every side (L the longer side); a fixed ratio then only grows the
// canvas, never scales the picture.
Layout layout(QSizeF picture, const FrameSettings& settings);

// The framed picture, opaque, its size the canvas rounded to whole pixels. `background` is
// drawn only for an image backdrop (filling the canvas, centred); without it the canvas is white.
// Both pictures are drawn in sRGB, converted from their colour profiles.
// A null image when the picture is empty, the canvas is past CanvasLimit or no bitmap can be made.
QImage render(const QImage& picture, const FrameSettings& settings, const QImage& background = {});

} // namespace FrameRenderer
