#include "tools/video/join/joincheck.h"

#include "engines/media/toolops.h"

#include <QDir>

namespace {

QString sample(const QString& samples, const char* name)
{
    return QDir(samples).filePath(QString::fromLatin1(name));
}

const Progress none = [](double) {};

} // namespace

namespace JoinCheck {

QStringList join(const QString& samples, Job& job)
{
    return ToolOps::join({sample(samples, "clip.mp4"), sample(samples, "clip.mov")}, job, none);
}

} // namespace JoinCheck
