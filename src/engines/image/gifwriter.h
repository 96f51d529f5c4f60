#pragma once

#include <QImage>
#include <QString>

// Still GIF files: the picture reduced to at most 256 colours by median cut, pixels more than
// half transparent becoming the one transparent colour.
namespace GifWriter {

// Throws ConvertError "Couldn’t encode GIF" when the file cannot be written.
void write(const QImage& image, const QString& path);

// The palette (at most `paletteSize` colours) and, per pixel of `image`, its palette index; pixels
// more than half transparent get the index `paletteSize`.
struct Indexed
{
    QList<QRgb> palette;
    QByteArray pixels; // width × height indexes, row after row
};
Indexed quantize(const QImage& image, int paletteSize);

} // namespace GifWriter
