#include "tools/audio/visualizer/visualizercheck.h"

#include "engines/media/toolops.h"

#include <QDir>

namespace {

QString sample(const QString& samples, const char* name)
{
    return QDir(samples).filePath(QString::fromLatin1(name));
}

const Progress none = [](double) {};

} // namespace

namespace VisualizerCheck {

QStringList wave(const QString& samples, Job& job)
{
    return ToolOps::visualize(sample(samples, "song.mp3"), VisualShape::square, VisualStyle::wave,
                              QStringLiteral("FF5200"), std::nullopt, job, none);
}

QStringList barsOnPicture(const QString& samples, Job& job)
{
    return ToolOps::visualize(sample(samples, "song.mp3"), VisualShape::portrait, VisualStyle::bars,
                              QStringLiteral("FFFFFF"), sample(samples, "photo.jpg"), job, none);
}

} // namespace VisualizerCheck
