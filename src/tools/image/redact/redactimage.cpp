#include "tools/image/redact/redactimage.h"

#include "core/converterror.h"
#include "toolkit/imagetools.h"
#include "tools/image/redact/redactdetector.h"

#include <QDir>

namespace {

QString redacted(const QString& file, const std::function<QList<QRectF>(const QImage&)>& boxesOn,
                 RedactStyle style, Job& job, const Progress& progress, const Redactor::Cover& cover)
{
    const auto hide = [&](const QImage& image) {
        const std::optional<QImage> out = Redactor::render(image, boxesOn(image), style, cover);
        if (!out) throw ConvertError::failed(QStringLiteral("Couldn’t render"));
        return *out;
    };
    return ImageTools::editCopy(file, QStringLiteral("Redacted"), job, progress, hide, std::nullopt,
                                ImageTools::Properties::none);
}

} // namespace

namespace RedactImage {

QStringList redactFile(const QString& file, const QList<QRectF>& boxes, RedactStyle style, Job& job,
                       const Progress& progress, const Redactor::Cover& cover)
{
    return {redacted(
        file, [&boxes](const QImage&) { return boxes; }, style, job, progress, cover)};
}

QStringList selfCheck(const QString& samples, Job& job)
{
    const RedactDetector detector = RedactDetector::standard();
    return {redacted(
        QDir(samples).filePath(QStringLiteral("photo.jpg")), detector.text, RedactStyle::pixelate, job,
        [](double) {}, Redactor::cover)};
}

} // namespace RedactImage
