#include "engines/recognition/ocr.h"

#include <QFile>
#include <QtDebug>
#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>

namespace {

const char* const cascadePath = "/usr/share/opencv4/haarcascades/haarcascade_frontalface_default.xml";

// Detection works on a copy no larger than this on its longer side: faces stay well above
// the detector's 24-pixel window and a large photo takes a fraction of the time.
constexpr int detectionSide = 1600;

} // namespace

namespace OCR {

QList<QRectF> faceBoxes(const QImage& image)
{
    if (image.isNull()) return {};
    cv::CascadeClassifier classifier;
    if (!QFile::exists(QString::fromLatin1(cascadePath)) || !classifier.load(cascadePath)) {
        qWarning("Face detection needs the opencv-data package");
        return {};
    }
    QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    if (std::max(grey.width(), grey.height()) > detectionSide)
        grey = grey.scaled(detectionSide, detectionSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const cv::Mat mat(grey.height(), grey.width(), CV_8UC1, const_cast<uchar*>(grey.constBits()),
                      size_t(grey.bytesPerLine()));
    std::vector<cv::Rect> found;
    try {
        // Fine steps between scales and few neighbours needed: the boxes serve redaction, where a
        // missed face costs more than an extra box.
        const int smallest = std::max(24, std::min(grey.width(), grey.height()) / 40);
        classifier.detectMultiScale(mat, found, 1.05, 3, 0, cv::Size(smallest, smallest));
    } catch (const cv::Exception&) {
        return {};
    }
    QList<QRectF> out;
    for (const cv::Rect& r : found)
        out << normalized(QRectF(r.x, r.y, r.width, r.height), grey.size());
    return out;
}

} // namespace OCR
