#include "tools/image/collage/createcollage.h"

#include "core/converterror.h"
#include "core/inputcheck.h"
#include "core/job.h"
#include "core/output.h"
#include "engines/heavyengines.h"
#include "toolkit/imagegeometry.h"
#include "tools/image/collage/collagerenderer.h"
#include "tools/image/frame/canvaslimit.h"

#include <QDir>

namespace CreateCollage {

QStringList makeCollage(const QStringList& files, const CollageSettings& settings, Job& job,
                        const Progress& progress)
{
    if (files.isEmpty()) throw ConvertError::failed(QStringLiteral("Couldn’t render"));
    const HeavyEngines& engines = Modules::entries<HeavyEngines>();
    QList<QImage> pictures;
    QList<QSize> sizes;
    const auto n = double(files.size());
    for (qsizetype i = 0; i < files.size(); ++i) {
        job.throwIfCancelled();
        InputCheck::refuseGone(files[i]);
        // Only the scaled copy is kept, so at most one full-size picture is held at a time.
        pictures << downscaled(engines.loadImage(files[i]), settings.width);
        sizes << pictures.last().size();
        progress(double(i + 1) / n * 0.7);
    }
    CanvasLimit::check(CollageRenderer::canvasSize(sizes, settings), QStringLiteral("The collage"));
    const QImage collage = CollageRenderer::render(pictures, settings);
    if (collage.isNull()) throw ConvertError::failed(QStringLiteral("Couldn’t render"));
    pictures.clear();
    job.throwIfCancelled();
    progress(0.85);
    return {Output::write(
        Output::result(files.first(), QStringLiteral(" Collage"), QStringLiteral("png")),
        [&](const QString& temporary) {
            engines.writeNewImage(collage, temporary, QStringLiteral("png"), 72);
        },
        &job)};
}

QString detail(qsizetype count)
{
    return QStringLiteral("%1 images").arg(count);
}

QStringList selfCheck(const QString& samples, Job& job)
{
    const QDir dir(samples);
    const QString jpg = dir.filePath(QStringLiteral("photo.jpg"));
    CollageSettings settings;
    settings.layout = CollageLayout::featured;
    settings.width = 1600;
    return makeCollage({jpg, dir.filePath(QStringLiteral("photo.png")), jpg}, settings, job, [](double) {});
}

} // namespace CreateCollage
