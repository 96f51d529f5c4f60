#pragma once

#include "core/progress.h"
#include "core/scratchfolder.h"

#include <QString>
#include <QStringList>

class Job;

// Unpacks and packs zip, tar and tar.gz archives (rar is read only). Unpacking never writes
// outside its folder; packing passes entry names to the programs so that none reads as an option.
namespace ArchiveEngine {

// Unpacks the archive into a new scratch folder and returns it (removed when dropped; also on
// failure). `format` is the archive's key; zips lose the "__MACOSX" folder of resource forks.
ScratchFolder extract(const QString& archive, const QString& format);

// Writes an archive of what lies directly inside `folder` (hidden items too) at `output`, in the
// format "zip", "tar" or "gz", without an enclosing folder. An empty folder gives a valid empty
// archive. Other formats: ConvertError::unsupported("Can’t write <FORMAT> archives"), before
// any program runs.
void pack(const QString& folder, const QString& output, const QString& format);

// The extract-archive tool: unpacks into "<base> Extracted" (" 2", " 3", … when taken) in the
// output folder, unwrapping the archive's one top folder, and returns that folder. Nothing is
// left behind on failure; an archive gone since it was chosen is said to be gone.
QStringList extractTool(const QString& archive);

// Archive to archive: copies `archive` entry by entry as `to` under the source's
// base name in the output folder ("gz" gives ".tar.gz"), with the checks of unpacking; the
// same result as unpacking and packing. Cancelling is seen between entries.
QStringList convert(const QString& archive, const QString& to, Job& job, const Progress& progress);

} // namespace ArchiveEngine
