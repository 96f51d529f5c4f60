#pragma once

#include <QString>
#include <QStringList>

class Job;

// The join-videos tool's rows of the self-test: its operation once over the samples in `samples`, with
// fixed choices. Each returns what it wrote and throws ConvertError.
namespace JoinCheck {

// "join": clip.mp4, then clip.mov.
QStringList join(const QString& samples, Job& job);

} // namespace JoinCheck
