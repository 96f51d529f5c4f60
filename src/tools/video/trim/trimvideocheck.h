#pragma once

#include <QString>
#include <QStringList>

class Job;

// The trim-video tool's rows of the self-test: its operation once over the samples in `samples`, with
// fixed choices. Each returns what it wrote and throws ConvertError.
namespace TrimVideoCheck {

// "trim video": clip.mp4 from 0.5 s to 2.5 s, re-encoded.
QStringList reencoded(const QString& samples, Job& job);
// "trim video fast": the same by stream copy.
QStringList fast(const QString& samples, Job& job);

} // namespace TrimVideoCheck
