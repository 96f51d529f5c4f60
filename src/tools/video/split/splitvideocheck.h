#pragma once

#include <QString>
#include <QStringList>

class Job;

// The split-video tool's rows of the self-test: its operation once over the samples in `samples`, with
// fixed choices. Each returns what it wrote and throws ConvertError.
namespace SplitVideoCheck {

// "split video": clip.mp4 into 0–1.5 s and 1.5–3 s, re-encoded.
QStringList split(const QString& samples, Job& job);

} // namespace SplitVideoCheck
