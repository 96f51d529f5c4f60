#include "engines/instant/instanttools.h"

#include "engines/archive/archiveengine.h"

#include "core/catalog.h"
#include "core/converterror.h"
#include "core/inputcheck.h"
#include "core/job.h"
#include "core/jobs.h"
#include "core/output.h"
#include "core/scratchfolder.h"
#include "engines/media/keptstreams.h"
#include "engines/media/media.h"

#include <QFileInfo>

namespace InstantTools {

namespace {

QStringList extract(const QString& file, Job&, const Progress&)
{
    return ArchiveEngine::extractTool(file);
}

const Tool table[] = {
    {ToolID::muteVideo, "Removing audio", mute, nullptr},
    {ToolID::splitPDF, "Splitting PDF", splitPDF, nullptr},
    {ToolID::extractArchive, "Extracting", extract, nullptr},
    {ToolID::createPDF, "Creating PDF", nullptr, createPDF},
};

} // namespace

const Tool* find(ToolID tool)
{
    for (const Tool& row : table)
        if (row.tool == tool) return &row;
    return nullptr;
}

QStringList work(const Tool& tool, const QStringList& files, Job& job, const Progress& progress)
{
    if (tool.whole) return tool.whole(files, job, progress);
    QStringList results;
    for (const QString& file : files)
        results += tool.each(file, job, progress);
    return results;
}

bool run(ToolID tool, const QStringList& files, std::optional<QPointF> at)
{
    const Tool* row = find(tool);
    if (!row) return false;
    const QString title = QString::fromUtf8(row->title);
    if (row->whole) {
        Jobs::runOnce(title, QStringLiteral("%1 images").arg(files.size()), 0, at,
                      [whole = row->whole, files](Job& job, const Progress& progress) {
                          return whole(files, job, progress);
                      });
    } else {
        Jobs::run(title, files, at, row->each);
    }
    return true;
}

QStringList mute(const QString& source, Job& job, const Progress& progress)
{
    InputCheck::refuseGone(source);
    InputCheck::refuseSpecial(source);
    Media::require(QStringLiteral("ffmpeg"));
    const QString ext = QFileInfo(source).suffix().toLower();
    const QString destination = Output::result(source, QStringLiteral(" Muted"),
                                               ext.isEmpty() ? std::nullopt : std::optional<QString>(ext));
    const double duration = Media::probe(source).duration;
    // Every picture track, subtitle, cover and attachment stays, each in its kind.
    const ScratchFolder scratch;
    const ToolArgs::Extras extras = KeptStreams::copied(
        source, Media::streams(source), ext, {.everyPicture = true, .sound = false}, scratch.path(), job);
    job.throwIfCancelled();
    return {Output::write(
        destination,
        [&](const QString& temporary) {
            // Every picture track copied as it is ("V": covers are not among them), no sound, the
            // container's metadata kept.
            Media::ffmpeg(QStringList{QStringLiteral("-i"), source, QStringLiteral("-map"),
                                      QStringLiteral("0:V"), QStringLiteral("-c"), QStringLiteral("copy"),
                                      QStringLiteral("-an"), QStringLiteral("-map_metadata"),
                                      QStringLiteral("0")} +
                              ToolArgs::extraOutputs(extras, 1) + QStringList{temporary},
                          duration, &job, progress);
        },
        &job)};
}

} // namespace InstantTools
