#include "tools/image/editphoto/editphoto.h"

#include "core/converterror.h"
#include "toolkit/imagetools.h"
#include "tools/image/editphoto/adjustmentsrenderer.h"

#include <QDir>

namespace EditPhoto {

QStringList editFile(const QString& file, const PhotoAdjustments& a, Job& job, const Progress& progress)
{
    const auto edit = [&a](const QImage& image) {
        QImage edited = AdjustmentsRenderer::render(image, a);
        // The renderer gives no image only when the memory for the result runs out.
        if (edited.isNull())
            throw ConvertError::failed(QStringLiteral("Couldn’t render the edited photo: not enough memory"));
        return edited;
    };
    return {ImageTools::editCopy(file, QStringLiteral("Edited"), job, progress, edit)};
}

QStringList selfCheck(const QString& samples, Job& job)
{
    PhotoAdjustments a;
    a.exposure = 0.5;
    a.contrast = 20;
    a.highlights = -30;
    a.whites = 20;
    a.temperature = 30;
    a.vignette = 40;
    return editFile(QDir(samples).filePath(QStringLiteral("photo.jpg")), a, job, [](double) {});
}

} // namespace EditPhoto
