#include "tools/audio/channels/audiochannelscheck.h"

#include "engines/media/toolops.h"

#include <QDir>

namespace {

QString sample(const QString& samples, const char* name)
{
    return QDir(samples).filePath(QString::fromLatin1(name));
}

const Progress none = [](double) {};

} // namespace

namespace AudioChannelsCheck {

QStringList mono(const QString& samples, Job& job)
{
    return ToolOps::channels(sample(samples, "song.mp3"), false, 100, 80, job, none);
}

} // namespace AudioChannelsCheck
