#include "tools/image/collage/createcollage.h"

#include "core/converterror.h"
#include "core/inputcheck.h"
#include "core/job.h"
#include "core/output.h"
#include "engines/heavyengines.h"
#include "toolkit/imagegeometry.h"
#include "tools/image/collage/collagerenderer.h"
#include "tools/image/shared/canvaslimit.h"

#include <QDir>
#include <cmath>

namespace CreateCollage {

namespace {

// The longest side picture `i` needs. Where the layout places its cells before the pictures
// are known (grid, featured), what fills its cell: twelve photographs then take little more
// than one. Otherwise (row, column) the output width.
double neededSide(QSize picture, qsizetype i, qsizetype count, const CollageSettings& settings)
{
    const double width = settings.width;
    if (settings.layout == CollageLayout::row || settings.layout == CollageLayout::column ||
        picture.isEmpty())
        return width;
    const CollageRenderer::Cells c = CollageRenderer::cells(count, settings.layout, {});
    if (i >= c.cells.size()) return width;
    const double height = std::round(width * c.proportion.height() / c.proportion.width());
    const QRectF cell = c.cells[i];
    const double fill =
        std::max(cell.width() * width / picture.width(), cell.height() * height / picture.height());
    // One pixel more, so that no picture is drawn larger than it was scaled to.
    return std::min(width, std::ceil(fill * std::max(picture.width(), picture.height())) + 1);
}

} // namespace

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
        const QImage full = engines.loadImage(files[i]);
        pictures << downscaled(full, neededSide(full.size(), i, files.size(), settings));
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
