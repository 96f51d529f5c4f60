#include "tools/video/trim/trimvideocheck.h"

#include "engines/media/toolops.h"

#include <QDir>

namespace {

QString sample(const QString& samples, const char* name)
{
    return QDir(samples).filePath(QString::fromLatin1(name));
}

const Progress none = [](double) {};

} // namespace

namespace TrimVideoCheck {

QStringList reencoded(const QString& samples, Job& job)
{
    return ToolOps::trimVideo(sample(samples, "clip.mp4"), {0.5, 2.5}, false, job, none);
}

QStringList fast(const QString& samples, Job& job)
{
    return ToolOps::trimVideo(sample(samples, "clip.mp4"), {0.5, 2.5}, true, job, none);
}

} // namespace TrimVideoCheck
