#include "engines/recognition/ocr.h"

#include "engines/recognition/facesearch.h"

#include <QFile>
#include <QtDebug>
#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>

namespace {

const char* const cascadePath = "/usr/share/opencv4/haarcascades/haarcascade_frontalface_default.xml";

// The faces of one run, in pixels of the whole picture `full`.
QList<QRectF> search(cv::CascadeClassifier& classifier, const cv::Mat& level, const FaceSearch::Run& run,
                     QSize full)
{
    std::vector<cv::Rect> found;
    // Fine steps between scales and few neighbours needed: the boxes serve redaction, where a
    // missed face costs more than an extra box.
    classifier.detectMultiScale(
        level(cv::Rect(run.area.x(), run.area.y(), run.area.width(), run.area.height())), found, 1.05, 3, 0,
        cv::Size(run.smallest, run.smallest), run.largest ? cv::Size(run.largest, run.largest) : cv::Size());
    const double sx = double(full.width()) / level.cols, sy = double(full.height()) / level.rows;
    QList<QRectF> out;
    for (const cv::Rect& r : found) {
        const QRectF box(r.x + run.area.x(), r.y + run.area.y(), r.width, r.height);
        if (QRectF(run.keep).contains(box.center()))
            out << QRectF(box.x() * sx, box.y() * sy, box.width() * sx, box.height() * sy);
    }
    return out;
}

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
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    const cv::Mat full(grey.height(), grey.width(), CV_8UC1, const_cast<uchar*>(grey.constBits()),
                       size_t(grey.bytesPerLine()));
    QList<QRectF> found;
    try {
        cv::Mat level;
        double shrink = 0;
        for (const FaceSearch::Run& run : FaceSearch::runs(grey.size())) {
            if (run.shrink != shrink) {
                shrink = run.shrink;
                const QSize size = FaceSearch::shrunk(grey.size(), shrink);
                if (shrink == 1)
                    level = full;
                else
                    cv::resize(full, level, cv::Size(size.width(), size.height()), 0, 0, cv::INTER_AREA);
            }
            found << search(classifier, level, run, grey.size());
        }
    } catch (const cv::Exception&) {
        return {};
    }
    QList<QRectF> out;
    for (const QRectF& r : merged(found))
        out << normalized(r, grey.size());
    return out;
}

} // namespace OCR
