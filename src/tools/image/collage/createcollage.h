#pragma once

#include "core/progress.h"
#include "tools/image/collage/collagesettings.h"

#include <QStringList>

class Job;

// The collage tool's work, on a worker thread.
namespace CreateCollage {

// Loads `files` in order (each scaled down to the output width), draws them with `settings`
// and saves one PNG, "<base> Collage.png" named after and placed beside the first file (or in
// its output folder). Returns the path written; throws ConvertError: Cancelled between files,
// the loader's reason, a canvas past the limit, "Couldn’t render", a write failure. Nothing
// is left behind on failure.
QStringList makeCollage(const QStringList& files, const CollageSettings& settings, Job& job,
                        const Progress& progress);

// The job's detail: "3 images" (also "1 images").
QString detail(qsizetype count);

// The self-test's collage: photo.jpg, photo.png and photo.jpg again, featured, 1600 wide.
QStringList selfCheck(const QString& samples, Job& job);

} // namespace CreateCollage
