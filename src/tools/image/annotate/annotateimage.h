#pragma once

#include "core/progress.h"
#include "tools/image/annotate/mark.h"

#include <QList>
#include <QStringList>

class Job;

// The annotate tool's work on one file, on a worker thread.
namespace AnnotateImage {

// Draws `marks` over the full-size picture in `file` (the same unit positions on every file) and
// saves it as "<base> Annotated.png" beside it or in the output folder, with its properties
// carried. Returns the path written; throws ConvertError, among them "Couldn’t render" and the
// picture too large to draw on.
QStringList annotateFile(const QString& file, const QList<Mark>& marks, Job& job, const Progress& progress);

// The self-test's annotation of photo.jpg in `samples`: an arrow, a rectangle, a text and a
// badge, saved in the photo's own format.
QStringList selfCheck(const QString& samples, Job& job);

} // namespace AnnotateImage
