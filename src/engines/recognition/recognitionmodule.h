#pragma once

#include "core/modules.h"

#include <QFuture>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>

// Recognition (Tesseract and OpenCV) is a shared module of its own, loaded only when a page or
// picture needs it: the other engines reach OCR's functions through this table.
struct RecognitionModule
{
    static constexpr Modules::Module module = Modules::Module::recognition;

    QString (*recognize)(const QImage& image);
    QFuture<QString> (*recognizeLater)(QImage image);
    int (*parallelism)();
    QList<QRectF> (*textBoxes)(const QImage& image);
    QList<QRectF> (*faceBoxes)(const QImage& image);
};
