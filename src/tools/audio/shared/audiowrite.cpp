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
    // The filter works on the source's times as its player counts them, from a zero before any
    // sound that begins late.
    return QStringList{QStringLiteral("-i"), source} + ToolArgs::extraInputs(kept) + audioOnly +
           ToolArgs::extraOutputs(kept, 1) +
           QStringList{QStringLiteral("-af"), Media::soundFromZero + QLatin1Char(',') + filter} +
           Media::keptTags(source) + Media::audioArgs(ext) + ToolArgs::id3Chunk(ext) + QStringList{out};
}

// ffmpeg 5.1 ends the whole result a few frames in when a graph that makes sound of its own (a
// tone) runs beside a stream copied from the graph's input file: the covers come from a second
// reading of the source.
QStringList graphed(const QString& source, QStringList graph, const QString& ext,
                    const ToolArgs::Extras& kept, const QString& out)
{
    // The graph takes the source's sound laid from the result's zero, as filtered() does.
    const qsizetype at = graph.indexOf(QLatin1String("-filter_complex")) + 1;
    if (at > 0 && at < graph.size())
        graph[at] = QStringLiteral("[0:a]") + Media::soundFromZero + QStringLiteral("[zeroed];") +
                    graph[at].replace(QLatin1String("[0:a]"), QLatin1String("[zeroed]"));
    return QStringList{QStringLiteral("-i"), source} + ToolArgs::extraInputs(kept) + graph +
           ToolArgs::extraOutputs(kept, 1) + Media::keptTags(source) + Media::audioArgs(ext) +
           ToolArgs::id3Chunk(ext) + QStringList{out};
}

} // namespace AudioWrite
