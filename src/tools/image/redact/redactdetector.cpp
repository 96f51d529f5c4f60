#include "tools/image/redact/redactdetector.h"

#include "core/converterror.h"
#include "core/modules.h"
#include "engines/recognition/recognitionmodule.h"

#include <QtDebug>
#include <algorithm>

namespace {

// Text keeps enough pixels at this size, and a large photo is searched in a fraction of the time.
constexpr int searchSide = 1600;

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
        // The face search greys and shrinks its own copy.
        .faces = [](const QImage& image) { return search(&RecognitionModule::faceBoxes, image); },
        // The text search greys its copy (putting what is transparent on white) but keeps its size.
        .text =
            [](const QImage& image) {
                const bool large = std::max(image.width(), image.height()) > searchSide;
                return search(&RecognitionModule::textBoxes,
                              large ? image.scaled(searchSide, searchSide, Qt::KeepAspectRatio,
                                                   Qt::SmoothTransformation)
                                    : image);
            },
    };
}
