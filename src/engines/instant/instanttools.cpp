#include "engines/instant/instanttools.h"

#include "engines/archive/archiveengine.h"

#include "core/catalog.h"
#include "core/converterror.h"
#include "core/inputcheck.h"
#include "core/job.h"
#include "core/jobs.h"
#include "core/output.h"
#include "engines/media/media.h"

#include <QFileInfo>

namespace InstantTools {

bool isWindowless(ToolID tool)
{
    switch (tool) {
    case ToolID::muteVideo:
    case ToolID::splitPDF:
    case ToolID::extractArchive:
    case ToolID::createPDF:
        return true;
    default:
        return false;
    }
}

bool run(ToolID tool, const QStringList& files, std::optional<QPointF> at)
{
    switch (tool) {
    case ToolID::muteVideo:
        Jobs::run(QStringLiteral("Removing audio"), files, at, mute);
        return true;
    case ToolID::splitPDF:
        Jobs::run(QStringLiteral("Splitting PDF"), files, at, splitPDF);
        return true;
    case ToolID::extractArchive:
        Jobs::run(QStringLiteral("Extracting"), files, at, [](const QString& file, Job&, const Progress&) {
            return ArchiveEngine::extractTool(file);
        });
        return true;
    case ToolID::createPDF:
        Jobs::runOnce(
            QStringLiteral("Creating PDF"), QStringLiteral("%1 images").arg(files.size()), 0, at,
            [files](Job& job, const Progress& progress) { return createPDF(files, job, progress); });
        return true;
    default:
        return false;
    }
}

QStringList mute(const QString& source, Job& job, const Progress& progress)
{
    InputCheck::refuseSpecial(source);
    Media::require(QStringLiteral("ffmpeg"));
    const QString ext = QFileInfo(source).suffix().toLower();
    const QString destination = Output::result(source, QStringLiteral(" Muted"),
                                               ext.isEmpty() ? std::nullopt : std::optional<QString>(ext));
    const double duration = Media::probe(source).duration;
    job.throwIfCancelled();
    return {Output::write(
        destination,
        [&](const QString& temporary) {
            // Every video stream copied as it is, no audio, the container's metadata kept.
            Media::ffmpeg({QStringLiteral("-i"), source, QStringLiteral("-map"), QStringLiteral("0:v"),
                           QStringLiteral("-c"), QStringLiteral("copy"), QStringLiteral("-an"),
                           QStringLiteral("-map_metadata"), QStringLiteral("0"), temporary},
                          duration, &job, progress);
        },
        &job)};
}

} // namespace InstantTools
