#pragma once

#include <QList>
#include <QString>

// The cues of a text subtitle track in SubRip form, as ffmpeg writes any text track it decodes,
// and the changes of timing that cutting and speeding up a video make to them.
namespace SubtitleCues {

struct Cue
{
    double start = 0; // seconds
    double end = 0;
    QString text; // one or more lines, without the closing blank line
};

// Reads SubRip text; blocks without a readable "hh:mm:ss,mmm --> hh:mm:ss,mmm" line are skipped.
QList<Cue> parse(const QString& srt);
// Numbered from 1, times with three decimals.
QString write(const QList<Cue>& cues);

// The cues as they fall in the part from `from` to `to` seconds, the part starting at 0: a cue
// that overlaps an edge is cut there, one wholly outside (or that would last no time) is dropped,
// and so is one that the cut leaves shorter than `shortest` seconds (a frame's time).
QList<Cue> cut(const QList<Cue>& cues, double from, double to, double shortest = 0);
// The cues of a video played `speed` times as fast (above 0), each time divided by it.
QList<Cue> scaled(const QList<Cue>& cues, double speed);
// The cues `offset` seconds later.
QList<Cue> shifted(const QList<Cue>& cues, double offset);

} // namespace SubtitleCues
