#include "tools/image/redact/redactdetector.h"

#include "core/converterror.h"
#include "core/modules.h"
#include "engines/recognition/recognitionmodule.h"

#include <QtDebug>

namespace {

// Recognition's boxes have their origin at the bottom left; the redaction's at the top left.
QList<QRectF> topDown(const QList<QRectF>& boxes)
{
    QList<QRectF> out;
    out.reserve(boxes.size());
    for (const QRectF& b : boxes)
        out << QRectF(b.x(), 1 - b.bottom(), b.width(), b.height());
    return out;
}

// The module's search on `image`, or nothing when the module can't be loaded.
QList<QRectF> search(QList<QRectF> (*RecognitionModule::*entry)(const QImage&), const QImage& image)
{
    try {
        return topDown((Modules::entries<RecognitionModule>().*entry)(image));
    } catch (const ConvertError& e) {
        qWarning().noquote() << e.message();
        return {};
    }
}

} // namespace

RedactDetector RedactDetector::standard()
{
    return {
        .faces = [](const QImage& image) { return search(&RecognitionModule::faceBoxes, image); },
        // At full resolution: a line a shrunk copy blurs away may still be read from the saved copy.
        .text = [](const QImage& image) { return search(&RecognitionModule::textBoxes, image); },
    };
}
