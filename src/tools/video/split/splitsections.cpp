#include "tools/video/split/splitsections.h"

#include <algorithm>
#include <cmath>

namespace SplitSections {

QList<TimeRange> sections(const QList<double>& splits, double duration)
{
    QList<double> points = splits;
    std::sort(points.begin(), points.end());
    points.prepend(0);
    points.append(duration);
    QList<TimeRange> out;
    for (qsizetype i = 0; i + 1 < points.size(); ++i)
        if (points[i + 1] - points[i] > gap) out.append({points[i], points[i + 1]});
    return out;
}

bool canSplitAt(double t, double duration)
{
    return t > gap && t < duration - gap;
}

bool isNew(const QList<double>& splits, double t)
{
    return std::none_of(splits.begin(), splits.end(), [t](double s) { return std::abs(s - t) < gap; });
}

} // namespace SplitSections
