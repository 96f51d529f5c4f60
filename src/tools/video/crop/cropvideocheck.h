#pragma once

#include <QString>
#include <QStringList>

class Job;

// The crop-video tool's rows of the self-test: its operation once over the samples in `samples`, with
// fixed choices. Each returns what it wrote and throws ConvertError.
namespace CropVideoCheck {

// "crop video": the rectangle (0.1, 0.2, 0.5 × 0.5) of clip.mp4.
QStringList crop(const QString& samples, Job& job);

} // namespace CropVideoCheck
