#pragma once

#include <QString>

// The times that the override tags of an ASS event's text hold, which count from the event's
// start: a transform's (\t), a movement's (\move) and a fade's (\fad, \fade) in milliseconds, and
// the lengths of karaoke syllables (\k, \K, \kf, \ko) in hundredths of a second.
namespace AssOverrides {

// The text of an event whose first `lead` seconds a cut left out, played `speed` times as fast
// (above 0): each time is moved `lead` earlier, no earlier than the start, then divided by
// `speed`. The karaoke syllables the lead passed are left with no length, and the one it
// stopped in with what remained of it; a fade in lasts what remained of it. A movement the lead
// passed becomes its end position (\pos), one it stopped in starts where it had got to; a
// transform the lead passed becomes its end state. A tag that doesn't read as one of these is
// left as it was, and so is every other byte of the text.
QString retimed(const QString& text, double lead, double speed);

} // namespace AssOverrides
