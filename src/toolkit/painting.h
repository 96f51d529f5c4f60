#pragma once

#include <QFont>
#include <QStringList>

class QPaintDevice;
class QPainter;
class QRectF;

// Text helpers shared by everything Tolvane paints itself (wheel, progress panels, windows).
namespace Painting {

// The application's sans font `pixels` device-independent pixels tall on the painter's device,
// whatever its resolution, so a drawing keeps its proportions on screen and in images.
QFont font(const QPainter& painter, double pixels, QFont::Weight weight, double tracking = 0);
// The same for text drawn on `device` (a widget); 96 dots per inch when none.
QFont font(const QPaintDevice* device, double pixels, QFont::Weight weight);

struct Lines
{
    QStringList lines;
    double lineHeight = 0;
    bool fits = true; // false when lines were cut or a word was wider than the width
};

// Wraps at word boundaries into `width`. With `maxLines` > 0, the last allowed line takes the
// rest of the text, elided at its end.
Lines wrap(const QString& text, const QFont& f, double width, int maxLines, const QPaintDevice* device);

// Up to `maxLines` lines of `text`; when it does not fit, characters are taken out of the
// middle and replaced by an ellipsis, keeping as much of both ends as fits.
QStringList elidedMiddle(const QString& text, const QFont& f, double width, int maxLines,
                         const QPaintDevice* device);

// Draws the lines centred horizontally and vertically in `box`; they may overhang it sideways.
void drawCentred(QPainter& painter, const Lines& lines, const QRectF& box);

} // namespace Painting
