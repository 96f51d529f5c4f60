#include "tools/audio/shared/audiowrite.h"

#include "engines/media/toolargs.h"

namespace {

const QStringList keepMetadata{QStringLiteral("-map_metadata"), QStringLiteral("0")};
const QStringList audioOnly{QStringLiteral("-map"), QStringLiteral("0:a")};

// The source's picture streams copied as attached pictures; the "?" lets a source without any
// through.
QStringList coverPictures(bool covers)
{
    if (!covers) return {};
    return {QStringLiteral("-map"), QStringLiteral("0:v?"),           QStringLiteral("-c:v"),
            QStringLiteral("copy"), QStringLiteral("-disposition:v"), QStringLiteral("attached_pic")};
}

} // namespace

namespace AudioWrite {

// Cover pictures go along where the container holds them and the source has no real picture
// stream, which would be copied with them.
bool keepsCovers(const Media::Probe& probe, const QString& ext)
{
    return ToolArgs::carriesCovers(ext) && !probe.videoCodec;
}

QStringList filtered(const QString& source, const QString& filter, const QString& ext, bool covers,
                     const QString& out)
{
    return QStringList{QStringLiteral("-i"), source} + audioOnly + coverPictures(covers) +
           QStringList{QStringLiteral("-af"), filter} + keepMetadata + Media::audioArgs(ext) +
           QStringList{out};
}

QStringList graphed(const QString& source, const QStringList& graph, const QString& ext, bool covers,
                    const QString& out)
{
    return QStringList{QStringLiteral("-i"), source} + graph + coverPictures(covers) + keepMetadata +
           Media::audioArgs(ext) + QStringList{out};
}

} // namespace AudioWrite
