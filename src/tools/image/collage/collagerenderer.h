#pragma once

#include "tools/image/collage/collagesettings.h"

#include <QImage>
#include <QList>
#include <QRectF>
#include <QSizeF>

// Lays pictures out in cells and draws them on one canvas. Pure: any thread, several at once.
namespace CollageRenderer {

struct Cells
{
    // Its width : height is the canvas's; the values themselves mean nothing.
    QSizeF proportion;
    // One per picture, in unit space (0 … 1 across the canvas, top-left origin).
    QList<QRectF> cells;
};

// The grid ignores the aspects (width ÷ height per picture, used by row and column). A grid of
// no pictures has no cells.
Cells cells(qsizetype count, CollageLayout layout, const QList<double>& aspects);

// The canvas in pixels for pictures of these sizes: the settings' width by the height the
// layout's proportion gives, rounded, at least 1.
QSizeF canvasSize(const QList<QSize>& pictures, const CollageSettings& settings);

// The collage, opaque; a null image for no pictures, a canvas past CanvasLimit or when no
// bitmap can be made. Each picture fills its cell less the gap, centred and cut equally, its
// colours turned to sRGB from its colour profile.
QImage render(const QList<QImage>& pictures, const CollageSettings& settings);

} // namespace CollageRenderer
