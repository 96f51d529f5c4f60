#include "tools/audio/normalize/normalizecheck.h"

#include "engines/media/toolops.h"

#include <QDir>

namespace {

QString sample(const QString& samples, const char* name)
{
    return QDir(samples).filePath(QString::fromLatin1(name));
}

const Progress none = [](double) {};

} // namespace

namespace NormalizeCheck {

QStringList podcast(const QString& samples, Job& job)
{
    return ToolOps::normalize(sample(samples, "song.mp3"), LoudnessTarget::podcast, job, none);
}

QStringList peak(const QString& samples, Job& job)
{
    return ToolOps::normalize(sample(samples, "song.mp3"), LoudnessTarget::peak, job, none);
}

} // namespace NormalizeCheck
