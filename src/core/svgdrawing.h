#pragma once

#include <QByteArray>

// SVG drawings made to stand alone: a renderer reads the files and addresses a drawing's
// pictures name, and a drawing may come from anywhere (dropped, or inside a document).
namespace SvgDrawing {

// Whether a reader that tells a picture's format from its bytes may take `bytes` for an SVG
// drawing: compressed data, or text that opens as XML, SVG or a comment, or names an <svg>
// element near its start. PNG, JPEG, GIF, TIFF, BMP and WebP pictures are not.
bool mayBe(const QByteArray& bytes);

// `drawing` keeping only its references to parts of itself ("#id") and to data: addresses (a
// drawing inside one made to stand alone too): an element linking elsewhere is left out, every
// other url() becomes "none", style sheet @imports go, as do processing instructions and the
// document type. A compressed drawing or one that isn't well-formed XML gives nothing.
QByteArray confined(const QByteArray& drawing);

} // namespace SvgDrawing
