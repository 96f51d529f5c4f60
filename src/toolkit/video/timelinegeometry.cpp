#include "toolkit/video/timelinegeometry.h"

#include <algorithm>
#include <cmath>

namespace TimelineGeometry {

double span(double duration)
{
    return std::isfinite(duration) && duration > 0.001 ? duration : 0.001;
}

double x(double t, double w, double duration)
{
    return w * (t / span(duration));
}

double scrub(double px, double w, double duration)
{
    if (!(w > 0)) return 0;
    return span(duration) * std::clamp(px, 0.0, w) / w;
}

TimeRange drag(bool leading, double grab, double translation, double w, double duration, TimeRange range)
{
    const double d = std::isfinite(duration) && duration > 0 ? duration : 0;
    const double moved = w > 0 ? grab + translation / w * span(duration) : grab;
    const double v = std::clamp(moved, 0.0, d);
    if (leading)
        range.start = std::max(std::min(v, range.end - minimumRange), 0.0);
    else
        range.end = std::min(std::max(v, range.start + minimumRange), d);
    return range;
}

QRectF leadingHandle(const TimeRange& range, double w, double duration)
{
    return {x(range.start, w, duration) - 4, 0, handleWidth, height};
}

QRectF trailingHandle(const TimeRange& range, double w, double duration)
{
    return {x(range.end, w, duration) - 18, 0, handleWidth, height};
}

QRectF marker(double t, double w, double duration)
{
    return {x(t, w, duration) - 1.5, 0, 3, height};
}

} // namespace TimelineGeometry
