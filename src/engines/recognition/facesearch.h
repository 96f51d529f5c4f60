#pragma once

#include <QList>
#include <QRect>
#include <QSize>

// Where the face detector looks in a picture, so that small faces are searched at full
// resolution while no single search holds more than a few megapixels: the detector's memory
// grows with the pixels it is given times the scales it tries.
namespace FaceSearch {

// One detector run: `area` of the picture shrunk `shrink` times (every rectangle and size in
// the shrunk picture's pixels), looking for faces from `smallest` to `largest` pixels wide
// (`largest` 0: no limit). Only faces centred in `keep` count, so that the areas of one shrink
// may overlap without finding a face twice.
struct Run
{
    double shrink;
    QRect area;
    QRect keep;
    int smallest;
    int largest;
};

// The narrowest face searched for in a picture of `size`, in its own pixels.
int smallestFace(QSize size);

// The size of a picture of `size` shrunk `shrink` times.
QSize shrunk(QSize size, double shrink);

// The runs that together find every face from smallestFace() up to the picture's shorter side:
// tiles at full resolution for the small faces, then coarser copies for larger ones, until one
// copy is small enough to be searched whole.
QList<Run> runs(QSize size);

} // namespace FaceSearch
