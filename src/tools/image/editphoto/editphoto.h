#pragma once

#include "core/progress.h"
#include "tools/image/editphoto/photoadjustments.h"

#include <QStringList>

class Job;

// The Edit Photo tool's work on one file, on a worker thread.
namespace EditPhoto {

// Saves the picture in `file` with `a` applied as "<base> Edited.<format>" beside it or in the
// output folder (" 2", " 3", … while taken), in its own format where the image engine writes
// it (else PNG), upright, with its properties carried. Returns the path written; throws
// ConvertError and then leaves nothing behind.
QStringList editFile(const QString& file, const PhotoAdjustments& a, Job& job, const Progress& progress);

// The self-test's edit of photo.jpg in `samples`: exposure, contrast, highlights, whites,
// temperature and vignette moved.
QStringList selfCheck(const QString& samples, Job& job);

} // namespace EditPhoto
