#include "engines/media/cutstreams.h"

#include "engines/media/chapters.h"
#include "engines/media/libav.h"
#include "engines/media/media.h"
#include "engines/media/timecode.h"

#include <algorithm>
#include <cmath>

CutStreams::CutStreams(const QString& source, const QString& ext, bool fast, Job& job)
    : m_source(source), m_fast(fast)
{
    const QList<Media::Stream> streams = Media::streams(source);
    m_base = KeptStreams::copied(source, streams, ext, {.subtitles = fast, .coverApart = true},
                                 m_scratch.path(), job);
    m_base.place = Media::keptPlace(source, ext);
    QList<Media::Stream> text = streams;
    if (fast) {
        // The copy keeps whole cues, which would run past the cut: its text subtitles are cut
        // like a re-encode's instead.
        text.clear();
        for (const Media::Stream& s : streams)
            if (s.kind == Media::Stream::Kind::subtitle && KeptStreams::isText(s.codec)) text << s;
        m_base.copied.removeIf([&](const ToolArgs::Extras::Copied& c) {
            return std::any_of(text.begin(), text.end(),
                               [&](const Media::Stream& s) { return s.index == c.index; });
        });
        text.removeIf([&](const Media::Stream& s) { return !KeptStreams::subtitleEncoder(s.codec, ext); });
    }
    m_text = KeptStreams::readText(source, text, ext,
                                   QStringLiteral("picture subtitles can’t be cut with the video"),
                                   m_scratch.path(), job);
    m_fps = Media::probe(source).fps;
    m_frame = m_fps > 0 ? 1 / m_fps : 0;
    m_timecode = Timecode::of(streams);
    if (fast) m_chapters = Chapters::read(source);
    if (m_timecode)
        if (const std::optional<LibAv::ShownFrame> first = LibAv::shownFrame(source, 0))
            m_firstFrame = first->start;
}

ToolArgs::Extras CutStreams::forRange(TimeRange range, int part) const
{
    ToolArgs::Extras extras = m_base;
    double from = range.start;
    if (m_fast) {
        const std::optional<LibAv::CopyStart> copy = LibAv::copyStart(m_source, range.start);
        if (copy) from = std::min(copy->key, range.start);
        extras.pictureLength = LibAv::copiedPictureLength(m_source, range.start, range.end).value_or(0);
        // ffmpeg times the chapters from the seek, and moves the packets alone to begin at 0.
        if (!m_chapters.isEmpty())
            extras.chapters =
                Chapters::written(Chapters::cut(m_chapters, from, range.end, copy ? copy->zero : from),
                                  m_scratch.path(), QStringLiteral("chapters%1").arg(part));
    }
    extras.tracks =
        KeptStreams::written(
            m_text,
            [&](const KeptStreams::TextTrack& t) { return KeptStreams::cut(t, from, range.end, m_frame); },
            m_scratch.path(), QStringLiteral("part%1").arg(part))
            .tracks;
    // The copy's picture starts at `from`, which ffmpeg puts `range.start - from` before zero.
    for (ToolArgs::Extras::Track& t : extras.tracks)
        t.offset = from - range.start;
    if (m_timecode) {
        // A cut begins just before its first frame, a copy with its key frame.
        const qint64 frames = std::llround((from - m_firstFrame) * m_fps + 0.25);
        extras.timecode = Timecode::advanced(*m_timecode, m_fps, frames).value_or(QString());
    }
    return extras;
}
