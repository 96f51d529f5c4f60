#include "toolkit/silence.h"

#include <algorithm>

namespace {

constexpr double margin = 0.08;

} // namespace

std::optional<std::pair<double, double>> nonSilentRange(const QList<float>& samples, double duration,
                                                        float threshold)
{
    const auto loud = [threshold](float s) { return s > threshold; };
    const auto first = std::find_if(samples.cbegin(), samples.cend(), loud);
    if (first == samples.cend() || !(duration > 0)) return std::nullopt;
    const auto last = std::find_if(samples.crbegin(), samples.crend(), loud);
    const double bucket = duration / double(samples.size());
    const double firstIndex = double(first - samples.cbegin());
    const double lastIndex = double(samples.crend() - last - 1);
    return std::pair{std::max(bucket * firstIndex - margin, 0.0),
                     std::min(bucket * (lastIndex + 1) + margin, duration)};
}
