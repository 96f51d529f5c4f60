#pragma once

#include "engines/media/chapters.h"

#include <QString>
#include <QStringList>

class Job;

// The chapters of an Ogg Opus result, written as its sound track's Vorbis comments
// ("CHAPTER001=00:00:01.500", "CHAPTER001NAME=Main") rather than by ffmpeg, whose writer rounds a
// chapter's seconds to the nearest: a chapter at 1.5 s would be placed at 2.5 s.
namespace OggChapters {

// The comments for `chapters` (times in the source's seconds) of a result that begins at the
// source's `start`, each chapter moved back by it, in the order a reader needs: a chapter's time
// before its name. A chapter that ends before the start is left out, one that begins before it
// begins at 0. At most 1000 chapters: the numbers have three digits.
QStringList comments(const QList<Chapters::Chapter>& chapters, double start);

// comments() for `chapters` of a source whose first stream begins at `start`; chapters past the
// thousandth are named in a note on `job`.
QStringList of(const QList<Chapters::Chapter>& chapters, double start, Job& job);
// of() for the chapters of `source` as ffprobe reads them, where the file isn't read in this process.
QStringList of(const QString& source, Job& job);

} // namespace OggChapters
