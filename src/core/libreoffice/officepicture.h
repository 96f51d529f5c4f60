#pragma once

#include <QByteArray>

// The pictures inside office documents, made harmless before an office suite draws them. The
// suite tells a picture's format from its bytes, whatever its part is called, and its SVG
// reader loads the files and addresses a drawing names.
namespace OfficePicture {

// `picture` unchanged unless it may be an SVG drawing, plain or compressed; a drawing comes back
// uncompressed and confined (SvgDrawing::confined), or empty when it can't be read, so that no
// picture is drawn rather than one that reads elsewhere.
QByteArray confined(const QByteArray& picture);

} // namespace OfficePicture
