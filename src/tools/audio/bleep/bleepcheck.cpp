#include "tools/audio/bleep/bleepcheck.h"

#include "engines/media/toolops.h"

#include <QDir>

namespace {

QString sample(const QString& samples, const char* name)
{
    return QDir(samples).filePath(QString::fromLatin1(name));
}

const Progress none = [](double) {};

} // namespace

namespace BleepCheck {

QStringList bleep(const QString& samples, Job& job)
{
    return ToolOps::bleep(sample(samples, "song.mp3"),
                          {{QUuid::createUuid(), 0.5, 1.0}, {QUuid::createUuid(), 2.0, 2.4}}, job, none);
}

} // namespace BleepCheck
