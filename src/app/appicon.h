#pragma once

#include <QImage>

class QPainter;

// The product's mark, drawn by our own code at any size.
namespace AppIcon {

// The 18 × 18 tray glyph on transparent: a ring of seven spokes around a hub, light with a dark
// halo so that it reads on dark and light panels alike. Paused, the whole glyph is dimmed.
QImage menuBarImage(double devicePixelRatio = 1, bool paused = false);

// Draws the full-colour application icon into the square (0, 0, size, size) of the painter.
void paint(QPainter& painter, double size);

// The application icon as an image of `pixels` × `pixels`, drawn into a `size`-unit square
// (normally pixels == size). Empty for sizes below one pixel.
QImage appIcon(int pixels, double size);

} // namespace AppIcon
