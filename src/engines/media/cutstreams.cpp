#include "engines/media/cutstreams.h"

#include "engines/media/media.h"

CutStreams::CutStreams(const QString& source, const QString& ext, bool fast, Job& job)
{
    const QList<Media::Stream> streams = Media::streams(source);
    m_base = KeptStreams::copied(streams, ext, fast, true, job);
    if (!fast)
        m_text = KeptStreams::readText(source, streams, ext,
                                       QStringLiteral("picture subtitles can’t be cut with the video"),
                                       m_scratch.path(), job);
}

ToolArgs::Extras CutStreams::forRange(TimeRange range, int part) const
{
    ToolArgs::Extras extras = m_base;
    extras.tracks = KeptStreams::written(
                        m_text,
                        [&](const QList<SubtitleCues::Cue>& cues) {
                            return SubtitleCues::cut(cues, range.start, range.end);
                        },
                        m_scratch.path(), QStringLiteral("part%1").arg(part))
                        .tracks;
    return extras;
}
