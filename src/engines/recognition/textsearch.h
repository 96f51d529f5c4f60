#pragma once

#include <QList>
#include <QRect>
#include <QSize>

// Where Tesseract reads a picture for lines of text. One reading of a whole large photo finds
// nothing where its single threshold splits the background itself (light writing on the lighter
// part of a dark gradient) and can't be shared among cores: a large picture is read in
// overlapping tiles at full resolution for small lines, then shrunk for lines too tall for a
// tile, until a shrunk copy is no taller than such a line.
namespace TextSearch {

// One reading: `area` of the picture shrunk `shrink` times, in the shrunk picture's pixels.
struct Run
{
    double shrink;
    QRect area;
};

// The size of a picture of `size` shrunk `shrink` times.
QSize shrunk(QSize size, double shrink);

// The runs that together hold every line of text, from the smallest Tesseract reads at full
// resolution up to the picture's shorter side, whole in at least one of them, where it is no
// more than tallestInTile() pixels high: very tall writing is read in a shrunk copy.
QList<Run> runs(QSize size);

// How tall a line, in the pixels of a run's shrunk picture, its tiles still hold whole.
int tallestInTile();

} // namespace TextSearch
