#include "tools/video/split/splitvideocheck.h"

#include "engines/media/toolops.h"

#include <QDir>

namespace {

QString sample(const QString& samples, const char* name)
{
    return QDir(samples).filePath(QString::fromLatin1(name));
}

const Progress none = [](double) {};

} // namespace

namespace SplitVideoCheck {

QStringList split(const QString& samples, Job& job)
{
    return ToolOps::splitVideo(sample(samples, "clip.mp4"), {{0, 1.5}, {1.5, 3.0}}, false, job, none);
}

} // namespace SplitVideoCheck
