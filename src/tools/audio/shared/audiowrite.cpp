#include "tools/audio/shared/audiowrite.h"

#include "engines/media/toolargs.h"

namespace {

const QStringList keepMetadata{QStringLiteral("-map_metadata"), QStringLiteral("0")};
const QStringList audioOnly{QStringLiteral("-map"), QStringLiteral("0:a")};

QStringList coversOf(bool covers, int input)
{
    return covers ? ToolArgs::coverCopies(input) : QStringList{};
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
    return QStringList{QStringLiteral("-i"), source} + audioOnly + coversOf(covers, 0) +
           QStringList{QStringLiteral("-af"), filter} + keepMetadata + Media::audioArgs(ext) +
           QStringList{out};
}

// ffmpeg 5.1 ends the whole result a few frames in when a graph that makes sound of its own (a
// tone) runs beside a stream copied from the graph's input file: the covers come from a second
// reading of the source.
QStringList graphed(const QString& source, const QStringList& graph, const QString& ext, bool covers,
                    const QString& out)
{
    const QStringList input{QStringLiteral("-i"), source};
    return input + (covers ? input : QStringList{}) + graph + coversOf(covers, 1) + keepMetadata +
           Media::audioArgs(ext) + QStringList{out};
}

} // namespace AudioWrite
