#pragma once

#include <QString>
#include <QStringList>

class Job;

// The audio-visualizer tool's rows of the self-test: its operation once over the samples in `samples`, with
// fixed choices. Each returns what it wrote and throws ConvertError.
namespace VisualizerCheck {

// "visualize": song.mp3 as a square wave in orange on black.
QStringList wave(const QString& samples, Job& job);
// "visualize bars+bg": song.mp3 as white portrait bars over photo.jpg.
QStringList barsOnPicture(const QString& samples, Job& job);

} // namespace VisualizerCheck
