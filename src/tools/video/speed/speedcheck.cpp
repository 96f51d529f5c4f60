#include "tools/video/speed/speedcheck.h"

#include "engines/media/toolops.h"

#include <QDir>

namespace {

QString sample(const QString& samples, const char* name)
{
    return QDir(samples).filePath(QString::fromLatin1(name));
}

const Progress none = [](double) {};

} // namespace

namespace SpeedCheck {

QStringList twice(const QString& samples, Job& job)
{
    return ToolOps::speed(sample(samples, "clip.mp4"), 2, true, QStringLiteral("2x"), job, none);
}

QStringList quarter(const QString& samples, Job& job)
{
    return ToolOps::speed(sample(samples, "clip.mp4"), 0.25, false, QStringLiteral(".25x"), job, none);
}

} // namespace SpeedCheck
