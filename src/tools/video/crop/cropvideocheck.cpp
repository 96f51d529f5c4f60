#include "tools/video/crop/cropvideocheck.h"

#include "engines/media/toolops.h"

#include <QDir>

namespace {

QString sample(const QString& samples, const char* name)
{
    return QDir(samples).filePath(QString::fromLatin1(name));
}

const Progress none = [](double) {};

} // namespace

namespace CropVideoCheck {

QStringList crop(const QString& samples, Job& job)
{
    return ToolOps::cropVideo(sample(samples, "clip.mp4"), QRectF(0.1, 0.2, 0.5, 0.5), job, none);
}

} // namespace CropVideoCheck
