#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <functional>

// HEIC and AVIF files through libheif.
namespace Heif {

// Whether the first bytes of a file (at least 12) belong to a HEIF file libheif can read.
bool recognizes(const QByteArray& head);

struct Picture
{
    QImage image;    // upright: the file's rotation and mirroring are applied
    QByteArray exif; // the Exif block from its TIFF header on, empty without one
};

// The primary image of the file. `checkSize` sees its size before anything is decoded and may
// throw to refuse it. Throws ConvertError naming `name` when the file cannot be read or decoded.
Picture read(const QString& path, const QString& name, const std::function<void(QSize)>& checkSize);

// The pixel size of the file's primary image, from its boxes without decoding it; an empty size
// when the file can't be read.
QSize size(const QString& path);

// Encodes `image` as HEIC (`format` "heic") or AVIF ("avif") at `quality` 0…100, with its
// colour profile, the Exif block and the XMP packet, if any. Throws ConvertError when it cannot.
// The pixels are copied into libheif's picture and `image` is let go before the encoder starts:
// handed over as the last reference, its memory is free for the encoder's own.
void write(QImage image, const QString& path, const QString& format, int quality, const QByteArray& exif,
           const QByteArray& xmp = {});

} // namespace Heif
