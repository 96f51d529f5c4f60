#include "engines/media/videoops.h"

#include "engines/media/media.h"

namespace VideoOps {

QStringList reencode(const QString& ext, int crf)
{
    QStringList args = Media::videoArgs(ext, crf) + Media::audioArgs(ext);
    if (ext == QLatin1String("mp4") || ext == QLatin1String("mov"))
        args << QStringLiteral("-movflags") << QStringLiteral("+faststart");
    return args;
}

QString evenSides()
{
    // Cut rather than scaled: scaling 321 pixels to 320 would resample every pixel, softening a
    // screen recording's text, where a crop keeps each pixel and their square shape as they were.
    return QStringLiteral("crop=trunc(iw/2)*2:trunc(ih/2)*2:0:0");
}

} // namespace VideoOps
