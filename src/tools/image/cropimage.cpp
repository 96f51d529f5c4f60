#include "tools/image/cropimage.h"

#include "core/converterror.h"
#include "core/job.h"
#include "engines/image/imageengine.h"
#include "toolkit/imagetools.h"

namespace CropImage {

QStringList cropFile(const QString& file, const QRectF& rect, Job& job, const Progress& progress)
{
    const ImageEngine::Loaded loaded = ImageEngine::load(file);
    job.throwIfCancelled();
    progress(0.5);
    const std::optional<QImage> cropped = ImageTools::crop(loaded.image, rect);
    if (!cropped) throw ConvertError::failed(QStringLiteral("Couldn’t crop"));
    return {ImageTools::saveCopy(file, *cropped, QStringLiteral("Cropped"), ImageTools::keptFormat(file),
                                 ImageEngine::carriedProperties(loaded.props))};
}

} // namespace CropImage
