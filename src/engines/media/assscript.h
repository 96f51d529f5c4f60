#pragma once

#include "engines/media/subtitlecues.h"

#include <QList>
#include <QString>

// A subtitle track in the ASS (or SSA) form, as ffmpeg writes one with "-f ass": a header that
// holds the script's details, its styles and the events' format, and one Dialogue line per event.
// Each event is a cue whose text is its Dialogue line without the times, so that cutting and
// retiming it keeps its style, layer, margins and override tags ({\pos(…)}) as they were, but
// for the times those tags hold, which cut() and scaled() move with the event.
namespace AssScript {

struct Script
{
    QString header; // up to and with the [Events] section's Format line, ending in a line break
    QList<SubtitleCues::Cue> events;
};

// Where a script's text comes from: a file, whose events are in its Format line's order, or
// ffmpeg, which writes the events it read in its own order (Layer, Start, End, Style, Name,
// MarginL, MarginR, MarginV, Effect, Text) whatever the Format line says.
enum class Source { File, Ffmpeg };

// Reads the script; Dialogue lines without readable times, comments and sections after the
// events are left out. A text without an [Events] section gives an empty header. A script from
// ffmpeg whose Format line orders the fields otherwise comes back with every event in ffmpeg's
// order and a Format line that says so.
Script parse(const QString& text, Source source = Source::File);
// The header and the events, in the fields' order the events' Format line gives (not the
// styles'), times in hundredths of a second as the form has them.
QString write(const Script& script);

// The events cut like SubtitleCues::cut(); the override tags of an event that the cut starts
// later count their times from its new start (AssOverrides::retimed).
QList<SubtitleCues::Cue> cut(const Script& script, double from, double to, double shortest = 0);
// The events played `speed` times as fast (above 0), the times of their override tags too.
QList<SubtitleCues::Cue> scaled(const Script& script, double speed);

} // namespace AssScript
