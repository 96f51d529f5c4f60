#pragma once

#include "engines/media/media.h"

#include <QString>
#include <QStringList>

// What the audio tools' operations share: results keep the source's extension, lower-cased, and
// its container's encoder; in mp3, m4a and flac they keep the source's cover pictures too. A
// result is made in a hidden temporary item beside the source and committed under a free name
// ("Talk Trimmed.m4a", then "Talk Trimmed 2.m4a", …); a failure or a cancel leaves nothing
// behind.
namespace AudioWrite {

// Whether a result in `ext` keeps the cover pictures of the source `probe` read.
bool keepsCovers(const Media::Probe& probe, const QString& ext);

// The arguments of a result that is the source's sound through the audio filter `filter` and,
// with `covers`, a copy of each of its picture streams as an attached (cover) picture.
QStringList filtered(const QString& source, const QString& filter, const QString& ext, bool covers,
                     const QString& out);
// The same for a filter graph given as its arguments ("-filter_complex", graph, "-map", label).
QStringList graphed(const QString& source, const QStringList& graph, const QString& ext, bool covers,
                    const QString& out);

} // namespace AudioWrite
