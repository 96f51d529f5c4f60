#pragma once

#include <QString>
#include <QStringList>

class Job;

// The trim-audio tool's rows of the self-test: its operation once over the samples in `samples`, with
// fixed choices. Each returns what it wrote and throws ConvertError.
namespace TrimAudioCheck {

// "trim audio": song.mp3 from 0.5 s to 2.5 s.
QStringList trim(const QString& samples, Job& job);

} // namespace TrimAudioCheck
