#pragma once

#include <QFuture>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>

// Text and faces found in a decoded image. Rectangles are normalised to the image (0 to 1 on
// both axes) with the origin at the lower-left corner, so a larger y is higher in the picture.
// Calls block unless said otherwise and may run on several threads at once.
namespace OCR {

// One line of recognised text and where it stands.
struct Line
{
    QRectF box;
    QString text;
};

// The image's text in reading order (see readingOrder); empty when there is none. Throws
// ConvertError when the recognition engine or its English data is missing.
QString recognize(const QImage& image);

// recognize() on one of recognition's own threads, at most one per core at a time; the text is
// "" when recognition cannot run. The engines stay from one call to the next while any is
// waiting or running (EngineCache).
QFuture<QString> recognizeLater(QImage image);

// How many images recognizeLater() works on at once.
int parallelism();

// One rectangle per line of text, light or dark, across or running up or down, read in
// overlapping tiles at the image's full resolution and in shrunk copies for taller lines
// (TextSearch), on recognition's threads and the caller's; empty when none is found or
// recognition cannot run.
QList<QRectF> textBoxes(const QImage& image);

// One rectangle per face seen from the front; empty when none is found or detection cannot run.
QList<QRectF> faceBoxes(const QImage& image);

// The lines top to bottom, lines whose middles lie within a hundredth of the image height of
// the first line of their row read left to right; a line feed between lines and an empty line
// where the space above a line is more than nine tenths of the previous line's height.
// Lines without text are skipped.
QString readingOrder(QList<Line> lines);

// Boxes that overlap by half of the smaller one or more, one thing found twice where two parts of
// a search meet, each become the one box that holds both.
QList<QRectF> merged(QList<QRectF> boxes);

// merged(), and also the pieces of one line of text read in two tiles: boxes that meet across
// and share half the height of the shorter one or more become one.
QList<QRectF> mergedLines(QList<QRectF> boxes);

// A pixel rectangle (origin top left) of an image of `size` as a normalised box.
QRectF normalized(const QRectF& pixels, const QSize& size);

} // namespace OCR
