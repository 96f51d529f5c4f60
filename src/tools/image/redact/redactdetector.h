#pragma once

#include <QImage>
#include <QList>
#include <QRectF>
#include <functional>

// What the redaction window offers to cover: faces and lines of text in a picture, as boxes in
// unit space of the picture (fractions of its width and height, origin at the top left). The
// calls block and may run on any thread. Tests hand the window a detector of their own.
struct RedactDetector
{
    std::function<QList<QRectF>(const QImage&)> faces;
    std::function<QList<QRectF>(const QImage&)> text;

    // Faces seen from the front (OpenCV's Haar cascade) and lines of text (Tesseract), through
    // the recognition module, each searched at the picture's full resolution. Finds nothing
    // when the module, the cascade or the language data is missing.
    static RedactDetector standard();
};
