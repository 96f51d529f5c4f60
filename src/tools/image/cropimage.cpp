#include "tools/image/cropimage.h"

#include "core/converterror.h"
#include "core/job.h"
#include "engines/heavyengines.h"
#include "toolkit/imagetools.h"

namespace CropImage {

QStringList cropFile(const QString& file, const QRectF& rect, Job& job, const Progress& progress)
{
    std::shared_ptr<const ImageProps> carried;
    const QImage image = Modules::entries<HeavyEngines>().loadImageForCopy(file, carried);
    job.throwIfCancelled();
    progress(0.5);
    const std::optional<QImage> cropped = ImageTools::crop(image, rect);
    if (!cropped) throw ConvertError::failed(QStringLiteral("Couldn’t crop"));
    return {ImageTools::saveCopy(file, *cropped, QStringLiteral("Cropped"), ImageTools::keptFormat(file),
                                 *carried)};
}

} // namespace CropImage
