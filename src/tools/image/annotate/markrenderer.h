#pragma once

#include "tools/image/annotate/mark.h"

#include <QImage>
#include <QList>
#include <QSizeF>
#include <optional>

class QPainter;

// Draws annotations: live over a window's preview and into the full-size picture that is saved.
// Pure functions over the marks; safe on any thread, as they draw only on what they are given.
namespace MarkRenderer {

// The largest canvas render() makes: no side over 32,768 pixels, at most 250 megapixels.
constexpr int maxSide = 32768;
constexpr qint64 maxPixels = 250'000'000;
bool fits(QSize size);

// Draws every mark in list order (later ones on top) onto `painter`, whose user space has its
// origin at the top-left of the picture area of `size`, y downward, one unit per point or pixel.
// Marks without points are skipped. Leaves the painter's state as it found it.
void draw(QPainter& painter, const QList<Mark>& marks, QSizeF size);

// A new image of `image`'s size with the marks drawn over it; none when the canvas would exceed
// the bound or cannot be allocated.
std::optional<QImage> render(const QImage& image, const QList<Mark>& marks);

// The stroke width of `mark` over an area of `size`: its width times the shorter side, at least 1.
double lineWidth(const Mark& mark, QSizeF size);
// The figure's colour on a badge of `fill`: black on a bright fill (its largest sRGB component
// over 0.75), white otherwise.
QColor labelColor(const QColor& fill);

} // namespace MarkRenderer
