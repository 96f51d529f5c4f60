#include "engines/media/toolops.h"

#include "core/converterror.h"
#include "core/inputcheck.h"
#include "core/job.h"
#include "core/output.h"
#include "core/scratchfolder.h"
#include "engines/heavyengines.h"
#include "engines/media/media.h"
#include "engines/media/toolargs.h"
#include "engines/media/toolrun.h"

#include <QRegularExpression>

namespace {

// Only a plain colour reaches the filter graph, never text that could add filters of its own.
void checkColor(const QString& color)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{6}$"));
    if (!hex.match(color).hasMatch())
        throw ConvertError::unsupported(
            QStringLiteral("“%1” is not a colour of six hexadecimal digits").arg(color));
}

// The background as a PNG that ffmpeg reads as nothing but a PNG: upright, any format the
// image engine reads, and no file name that ffmpeg would take for a numbered sequence.
void writeBackground(const QString& image, const QString& png, const VisualFrame& frame)
{
    try {
        Modules::entries<HeavyEngines>().coverPng(image, png, frame.width, frame.height);
    } catch (const ConvertError& e) {
        if (e.isCancelled()) throw;
        throw ConvertError::failed(
            QStringLiteral("Couldn’t read the background picture %1").arg(ToolRun::fileName(image)),
            e.message());
    }
}

} // namespace

namespace ToolOps {

QStringList visualize(const QString& source, VisualShape shape, VisualStyle style, const QString& color,
                      const std::optional<QString>& background, Job& job, const Progress& progress)
{
    checkColor(color);
    ToolRun::checkSource(source);
    const Media::Probe probe = Media::probe(source);
    // The length bounds the video; without it ffmpeg would write an empty one.
    if (!(probe.duration > 0))
        throw ConvertError::failed(
            QStringLiteral("Couldn’t read the length of %1").arg(ToolRun::fileName(source)));
    const VisualFrame frame = visualFrame(shape);
    const QString destination =
        ToolRun::destination(source, QStringLiteral("Visualizer"), QStringLiteral("mp4"));

    std::optional<ScratchFolder> scratch;
    std::optional<QString> png;
    if (background) {
        InputCheck::refuseGone(*background);
        job.throwIfCancelled();
        scratch.emplace();
        png = scratch->file(QStringLiteral("background.png"));
        writeBackground(*background, *png, frame);
    }
    return {Output::write(
        destination,
        [&](const QString& temporary) {
            ToolRun::ffmpeg(ToolArgs::visualize(source, shape, style, color, probe.channels, png,
                                                probe.duration, temporary),
                            probe.duration, job, progress);
            ToolRun::requireContent(
                temporary, QStringLiteral("The video of %1 came out empty: its sound could not be read")
                               .arg(ToolRun::fileName(source)));
        },
        &job)};
}

} // namespace ToolOps
