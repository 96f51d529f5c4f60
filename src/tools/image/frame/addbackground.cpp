#include "tools/image/frame/addbackground.h"

#include "core/converterror.h"
#include "toolkit/imagetools.h"
#include "tools/image/frame/framerenderer.h"
#include "tools/image/shared/canvaslimit.h"

#include <QDir>

namespace AddBackground {

QStringList frameFile(const QString& file, const FrameSettings& settings, const QImage& background, Job& job,
                      const Progress& progress)
{
    const auto frame = [&settings, &background](const QImage& picture) {
        CanvasLimit::check(FrameRenderer::layout(QSizeF(picture.size()), settings).canvas,
                           QStringLiteral("The framed picture"));
        QImage framed = FrameRenderer::render(picture, settings, background);
        if (framed.isNull()) throw ConvertError::failed(QStringLiteral("Couldn’t render"));
        return framed;
    };
    return {ImageTools::editCopy(file, QStringLiteral("With Background"), job, progress, frame,
                                 QStringLiteral("png"))};
}

QStringList selfCheck(const QString& samples, Job& job)
{
    FrameSettings settings;
    settings.ratio = FrameRatio::square;
    return frameFile(QDir(samples).filePath(QStringLiteral("photo.jpg")), settings, QImage(), job,
                     [](double) {});
}

} // namespace AddBackground
