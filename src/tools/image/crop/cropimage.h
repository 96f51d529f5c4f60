#pragma once

#include "core/progress.h"

#include <QRectF>
#include <QStringList>
#include <functional>

class Job;

// The crop image tool's work on one file, on a worker thread.
namespace CropImage {

// Cuts `rect` (unit coordinates, the same fractions for every file) out of the picture in
// `file` and saves it as "<base> Cropped.<format>" beside it or in the output folder, in the
// picture's own format where the image engine writes it (else PNG), with its properties
// carried and upright. Returns the path written; throws ConvertError.
QStringList cropFile(const QString& file, const QRectF& rect, Job& job, const Progress& progress);

// The self-test's crop: the rectangle (0.1, 0.1, 0.5 × 0.4) of photo.jpg in `samples`.
QStringList selfCheck(const QString& samples, Job& job);

} // namespace CropImage
