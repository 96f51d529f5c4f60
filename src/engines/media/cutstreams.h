#pragma once

#include "core/scratchfolder.h"
#include "engines/media/chapters.h"
#include "engines/media/keptstreams.h"
#include "engines/media/toolargs.h"
#include "engines/media/toolchoices.h"

#include <QList>
#include <QString>
#include <optional>

class Job;

// What a cut in time from one source carries besides its picture and sound, for the cuts of
// trim and split. The text subtitles are read once here and cut to each range, the piece of a cue
// shorter than a frame left out. A stream copy (`fast`) begins at the key frame before its range,
// which it shows, so its cues count from that frame; it takes picture subtitles along as they
// are, cut at the same key frame, and its chapters, timed for the frame it shows first. A
// timecode names each part's first frame. Throws ConvertError; notes what is left out in `job`.
class CutStreams
{
  public:
    CutStreams(const QString& source, const QString& ext, bool fast, Job& job);

    // The extras of part `part` (from 1), cut to `range`.
    ToolArgs::Extras forRange(TimeRange range, int part) const;

  private:
    QString m_source;
    bool m_fast = false;
    double m_frame = 0; // seconds
    double m_fps = 0;
    std::optional<QString> m_timecode; // of the source's first frame
    double m_firstFrame = 0;           // when that frame starts, seconds
    ScratchFolder m_scratch;
    ToolArgs::Extras m_base;
    QList<KeptStreams::TextTrack> m_text;
    QList<Chapters::Chapter> m_chapters; // a copy's, which it times itself
};
