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
    QString (*recognize)(const QImage& image);
    QFuture<QString> (*recognizeLater)(QImage image);
    int (*parallelism)();
    QList<QRectF> (*textBoxes)(const QImage& image);
    QList<QRectF> (*faceBoxes)(const QImage& image);
};

namespace OCR {

// The module's entries, loaded on first call; throws ConvertError when it cannot be loaded.
inline const RecognitionModule& module()
{
    return *static_cast<const RecognitionModule*>(Modules::entries(Modules::Module::recognition));
}

} // namespace OCR
