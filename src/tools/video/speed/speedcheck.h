#pragma once

#include <QString>
#include <QStringList>

class Job;

// The change-video-speed tool's rows of the self-test: its operation once over the samples in `samples`, with
// fixed choices. Each returns what it wrote and throws ConvertError.
namespace SpeedCheck {

// "speed 2x": clip.mp4 twice as fast, its pitch kept.
QStringList twice(const QString& samples, Job& job);
// "speed .25x": clip.mp4 at a quarter of its speed, its pitch following.
QStringList quarter(const QString& samples, Job& job);

} // namespace SpeedCheck
