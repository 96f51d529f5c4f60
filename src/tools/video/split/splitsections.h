#pragma once

#include "engines/media/toolchoices.h"

#include <QList>

// The rules of split points: which clips they cut a video into and where a new one may go.
namespace SplitSections {

// Closer than this, two points (or a point and an end of the video) make no clip between them.
constexpr double gap = 0.05;

// The clips between 0, the points in ascending order and `duration`, leaving out those not
// longer than the gap; none before the duration is known.
QList<TimeRange> sections(const QList<double>& splits, double duration);
// Whether the playhead at `t` is far enough from both ends of the video to split there.
bool canSplitAt(double t, double duration);
// Whether a point at `t` is new: none of `splits` lies within the gap of it.
bool isNew(const QList<double>& splits, double t);

} // namespace SplitSections
