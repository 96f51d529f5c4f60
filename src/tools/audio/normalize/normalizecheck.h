#pragma once

#include <QString>
#include <QStringList>

class Job;

// The normalize-volume tool's rows of the self-test: its operation once over the samples in `samples`, with
// fixed choices. Each returns what it wrote and throws ConvertError.
namespace NormalizeCheck {

// "normalize": song.mp3 to the podcast loudness.
QStringList podcast(const QString& samples, Job& job);
// "normalize peak": song.mp3 with its loudest peak at −1 dB.
QStringList peak(const QString& samples, Job& job);

} // namespace NormalizeCheck
