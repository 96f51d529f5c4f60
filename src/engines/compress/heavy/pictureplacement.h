#pragma once

#include <map>
#include <qpdf/QPDFObjGen.hh>

class QPDF;

// Where the pictures of a PDF are drawn, read from the pages' drawing operators.
namespace PicturePlacement {

// A picture's drawn size in inches along its own width and height.
struct Drawn
{
    double width = 0;
    double height = 0;
};

// The largest size each picture (image object) is drawn at on the pages of `pdf`, following the
// forms a page draws; each side the largest any drawing gives it. A picture drawn nowhere that
// can be followed is missing, and so is every picture a page offers when that page's drawing
// can't be read to its end.
std::map<QPDFObjGen, Drawn> largest(QPDF& pdf);

} // namespace PicturePlacement
