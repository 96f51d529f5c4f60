#pragma once

#include "core/scratchfolder.h"
#include "engines/media/keptstreams.h"
#include "engines/media/toolargs.h"
#include "engines/media/toolchoices.h"

#include <QList>
#include <QString>

class Job;

// What a cut in time from one source carries besides its picture and sound, for the cuts of
// trim and split. A stream copy (`fast`) takes the subtitles along as they are, cut at the same
// key frame as the picture; a re-encode starts exactly at the range, so the text subtitles are
// read once here and cut to each range. Throws ConvertError; notes what is left out in `job`.
class CutStreams
{
  public:
    CutStreams(const QString& source, const QString& ext, bool fast, Job& job);

    // The extras of part `part` (from 1), cut to `range`.
    ToolArgs::Extras forRange(TimeRange range, int part) const;

  private:
    ScratchFolder m_scratch;
    ToolArgs::Extras m_base;
    QList<KeptStreams::TextTrack> m_text;
};
