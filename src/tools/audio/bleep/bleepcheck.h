#pragma once

#include <QString>
#include <QStringList>

class Job;

// The bleep-audio tool's rows of the self-test: its operation once over the samples in `samples`, with
// fixed choices. Each returns what it wrote and throws ConvertError.
namespace BleepCheck {

// "bleep": song.mp3 bleeped from 0.5 to 1.0 s and from 2.0 to 2.4 s.
QStringList bleep(const QString& samples, Job& job);

} // namespace BleepCheck
