#include "engines/media/videoops.h"

#include "engines/media/media.h"

namespace VideoOps {

QStringList reencode(const QString& ext, int crf)
{
    QStringList args = Media::videoArgs(ext, crf) + Media::audioArgs(ext);
    if (ext == QLatin1String("mp4") || ext == QLatin1String("mov"))
        args << QStringLiteral("-movflags") << QStringLiteral("+faststart");
    // An AVI file lays each picture at its index from its start: no time is shifted to make room
    // for the sound encoder's delay, which would hold the first picture and move every other one
    // a frame later than its sound.
    if (ext == QLatin1String("avi"))
        args << QStringLiteral("-avoid_negative_ts") << QStringLiteral("disabled");
    return args;
}

QString evenSides()
{
    // Cut rather than scaled: scaling 321 pixels to 320 would resample every pixel, softening a
    // screen recording's text, where a crop keeps each pixel and their square shape as they were.
    return QStringLiteral("crop=trunc(iw/2)*2:trunc(ih/2)*2:0:0");
}

} // namespace VideoOps
