#pragma once

#include <QByteArray>

// SVG drawings made to stand alone before Qt renders them: Qt's renderer reads the files and
// addresses a drawing's pictures name, and a dropped drawing may come from anywhere.
namespace Svg {

// Whether Qt's picture readers take `bytes` for an SVG drawing, plain or compressed.
bool recognizes(const QByteArray& bytes);

// `bytes` as they are when they hold no SVG drawing; a drawing made to stand alone (see
// SvgDrawing::confined), or nothing when it is compressed or isn't well-formed XML.
QByteArray confined(const QByteArray& bytes);

} // namespace Svg
