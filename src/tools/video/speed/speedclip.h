#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The pieces the speed window previews with: stretches of the file from the playhead, rendered
// by ffmpeg at the chosen factor, because the media framework's player can change the rate but
// not keep the sound's pitch.
namespace SpeedClip {

// How long a piece plays, whatever the factor: short enough to render in about a second, well
// within the time the piece before it plays. The stretch of source it covers is this times the
// factor.
constexpr double playedSeconds = 6;
// The widest picture rendered; the preview is never shown larger.
constexpr int maxWidth = 1280;

// A stretch of the source, in seconds.
struct Span
{
    double from = 0;
    double length = 0;
};

// What the first piece of a preview from the playhead `time` covers in a file of `duration` at
// `speed`: up to `played` × speed of source, cut at the end, and taking in a rest of less than
// half a second; within half a second of the end it starts over from the beginning, as playing
// does.
Span span(double time, double duration, double speed, double played = playedSeconds);
// The piece after `piece` in the same way; none (length 0) once the file's end is reached.
Span following(const Span& piece, double duration, double speed, double played = playedSeconds);

// ffmpeg's arguments (after its fixed prefix) rendering `span` of `source` at `speed` into the MP4
// `out`: the picture's timestamps divided, the sound (when the file has some, at `sampleRate`)
// through an atempo chain when `keepPitch`, else resampled so that its pitch follows.
QStringList args(const QString& source, const Span& span, double speed, bool keepPitch,
                 std::optional<int> sampleRate, const QString& out);

} // namespace SpeedClip
