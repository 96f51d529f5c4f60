#pragma once

#include <QByteArray>

// SVG drawings made to stand alone before Qt renders them: Qt's renderer reads the files and
// addresses a drawing's pictures name, and a dropped drawing may come from anywhere.
namespace Svg {

// Whether Qt's picture readers take `bytes` for an SVG drawing, plain or compressed.
bool recognizes(const QByteArray& bytes);

// `bytes` as they are when they hold no SVG drawing. A drawing keeps only its references to
// parts of itself ("#id") and to data: addresses (an SVG inside one made to stand alone too):
// an element linking elsewhere is left out, every other url() becomes "none", style sheet
// @imports go, as do processing instructions and the document type. A compressed drawing or one that isn't
// well-formed XML gives nothing.
QByteArray confined(const QByteArray& bytes);

} // namespace Svg
