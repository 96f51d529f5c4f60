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

} // namespace VideoOps
