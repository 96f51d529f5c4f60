#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <optional>

// One picture for a page of a PDF: decoded upright, with the resolution its file states.
struct PageImage
{
    QImage image;
    double dpi = 72; // 72 when the file states none

    // Throws ConvertError::failed when the file cannot be read or decoded.
    static PageImage load(const QString& path);
};

// The horizontal resolution in dots per inch that the first bytes of a PNG (its pHYs chunk in
// metres) or a JPEG (its JFIF header in inches or centimetres) state; none for other formats,
// for an aspect ratio without units, and for damaged headers.
std::optional<double> statedResolution(const QByteArray& head);
