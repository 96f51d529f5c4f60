#include "tools/audio/shared/audiowrite.h"

#include "engines/media/keptstreams.h"
#include "engines/media/mediastreams.h"

namespace {

const QStringList audioOnly{QStringLiteral("-map"), QStringLiteral("0:a")};

} // namespace

namespace AudioWrite {

ToolArgs::Extras kept(const QString& source, const QString& ext, bool apart, Job& job)
{
    // A sound file's covers are never attached, so no folder is needed for them. An AIFF is
    // written with an ID3 chunk, which holds them.
    return KeptStreams::copied(source, Media::streams(source), ext,
                               {.picture = false, .coverApart = apart, .id3Chunk = true}, {}, job);
}

QStringList filtered(const QString& source, const QString& filter, const QString& ext,
                     const ToolArgs::Extras& kept, const QString& out)
{
    return QStringList{QStringLiteral("-i"), source} + ToolArgs::extraInputs(kept) + audioOnly +
           ToolArgs::extraOutputs(kept, 1) + QStringList{QStringLiteral("-af"), filter} +
           Media::keptTags(source) + Media::audioArgs(ext) + ToolArgs::id3Chunk(ext) + QStringList{out};
}

// ffmpeg 5.1 ends the whole result a few frames in when a graph that makes sound of its own (a
// tone) runs beside a stream copied from the graph's input file: the covers come from a second
// reading of the source.
QStringList graphed(const QString& source, const QStringList& graph, const QString& ext,
                    const ToolArgs::Extras& kept, const QString& out)
{
    return QStringList{QStringLiteral("-i"), source} + ToolArgs::extraInputs(kept) + graph +
           ToolArgs::extraOutputs(kept, 1) + Media::keptTags(source) + Media::audioArgs(ext) +
           ToolArgs::id3Chunk(ext) + QStringList{out};
}

} // namespace AudioWrite
