#pragma once

#include "tools/selfchecks.h"

#include <QString>

class Job;

// The self-test's archive, made from the samples, as the folder of samples holds none.
namespace SampleArchive {

// Zips photo.png and, in a folder "photos", photo.jpg from `samples` into a hidden scratch folder
// there, extracts that "sample.zip" with the Extract Archive tool's own work and moves the result
// out as the first free "sample Extracted" in the samples' output folder; the scratch folder and
// the archive go. Returns that folder; throws ConvertError.
SelfChecks::Outcome extract(const QString& samples, Job& job);

} // namespace SampleArchive
