#pragma once

#include <QString>
#include <QStringList>

class Job;

// The convert-audio-channels tool's rows of the self-test: its operation once over the samples in `samples`,
// with fixed choices. Each returns what it wrote and throws ConvertError.
namespace AudioChannelsCheck {

// "mono": song.mp3 to mono with the left side at 100 % and the right at 80 %.
QStringList mono(const QString& samples, Job& job);

} // namespace AudioChannelsCheck
