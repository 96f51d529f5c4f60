#pragma once

#include <QColor>
#include <QRectF>
#include <QString>

class QPainter;

// The small line icons of the tool and action petals, drawn by our own code and keyed by the
// symbol names the catalog gives its items.
namespace Symbols {

// True when `name` has a drawing of its own; any other name gets a neutral glyph.
bool has(const QString& name);

// Draws the icon named `name` centred in `box` (drawn square, as large as the box allows).
void draw(QPainter& painter, const QString& name, const QRectF& box, const QColor& colour);

} // namespace Symbols
