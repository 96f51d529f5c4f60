#include "tools/image/crop/cropimage.h"

#include "core/converterror.h"
#include "toolkit/imagetools.h"

#include <QDir>

namespace CropImage {

QStringList cropFile(const QString& file, const QRectF& rect, Job& job, const Progress& progress)
{
    const auto cut = [&rect](const QImage& image) {
        const std::optional<QImage> cropped = ImageTools::crop(image, rect);
        if (!cropped) throw ConvertError::failed(QStringLiteral("Couldn’t crop"));
        return *cropped;
    };
    return {ImageTools::editCopy(file, QStringLiteral("Cropped"), job, progress, cut)};
}

QStringList selfCheck(const QString& samples, Job& job)
{
    return cropFile(QDir(samples).filePath(QStringLiteral("photo.jpg")), QRectF(0.1, 0.1, 0.5, 0.4), job,
                    [](double) {});
}

} // namespace CropImage
