#include "tools/video/crop/cropvideowork.h"

#include "core/scratchfolder.h"
#include "engines/media/keptstreams.h"
#include "engines/media/media.h"
#include "engines/media/toolrun.h"

#include <QDir>

namespace CropVideoWork {

QString cropFilter(const QRectF& rect)
{
    const ToolArgs::BoxExpr b = ToolArgs::boxExpr(rect);
    return QStringLiteral("crop=%1:%2:%3:%4").arg(b.w, b.h, b.x, b.y);
}

QStringList args(const QString& source, const QRectF& rect, const QString& ext, const QString& out,
                 const ToolArgs::Extras& extras)
{
    return QStringList{QStringLiteral("-i"), source} + ToolArgs::pictureAndSound() +
           QStringList{QStringLiteral("-filter:v:0"), cropFilter(rect)} +
           Media::videoArgs(ext, ToolArgs::videoCrf) +
           QStringList{QStringLiteral("-c:a"), QStringLiteral("copy")} + ToolArgs::keptTags() +
           ToolArgs::faststart(ext) + ToolArgs::extraOutputs(extras, 1) + QStringList{out};
}

QStringList selfCheck(const QString& samples, Job& job)
{
    return ToolOps::cropVideo(QDir(samples).filePath(QStringLiteral("clip.mp4")), QRectF(0.1, 0.2, 0.5, 0.5),
                              job, {});
}

} // namespace CropVideoWork

namespace ToolOps {

QStringList cropVideo(const QString& source, const QRectF& rect, Job& job, const Progress& progress)
{
    ToolRun::checkSource(source);
    const QString ext = ToolRun::ext(source);
    const double duration = Media::probe(source).duration;
    const ScratchFolder scratch;
    ToolArgs::Extras extras =
        KeptStreams::copied(source, Media::streams(source), ext, {}, scratch.path(), job);
    extras.place = Media::keptPlace(source, ext);
    return ToolRun::write(
        {source, {0, duration}}, QStringLiteral("Cropped"), job, progress,
        [&](const QString& temporary) { return CropVideoWork::args(source, rect, ext, temporary, extras); });
}

} // namespace ToolOps
