#pragma once

#include "core/progress.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// Converts SRT and WebVTT subtitles into SRT, WebVTT or plain text.
class Job;

namespace SubtitleEngine {

struct Cue
{
    double start = 0; // seconds
    double end = 0;
    QString text; // lines joined by "\n"; may be empty
    bool operator==(const Cue&) const = default;
};

// The cues of an SRT or WebVTT text, in source order. Blocks are separated by blank lines (lines
// of spaces and tabs count as blank); a block without a valid time line is skipped.
QList<Cue> parse(const QString& text);

// Seconds of a time stamp "h:m:s" or "m:s" (seconds may carry "." or "," and a fraction), or
// nothing when any part is not a plain number, or the time is negative or absurdly large.
// Independent of the locale.
std::optional<double> time(const QString& text);

// "HH:MM:SS.mmm" of the time rounded to the nearest millisecond (hours may grow past 99); SRT
// writes "," before the milliseconds.
QString timestamp(double seconds, bool srt);

// The text of `cues` as "srt", "vtt" or "txt" (tags stripped, a line repeated next to itself
// written once). Throws ConvertError::unsupported for other targets.
QString render(const QList<Cue>& cues, const QString& target);

// Converts the subtitle file into `target` beside it (or in the output folder) and returns the
// written file. Throws ConvertError: "No subtitle cues found" before looking at the target.
QStringList convert(const QString& source, const QString& target, Job& job, const Progress& progress);

} // namespace SubtitleEngine
