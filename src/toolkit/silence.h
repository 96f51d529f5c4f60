#pragma once

#include <QList>
#include <optional>
#include <utility>

// Where sound begins and ends in peak buckets spread evenly over `duration` seconds: from the
// first to the last bucket louder than `threshold` (a bucket at the threshold is silent), with
// 0.08 s of margin on each side, kept within 0…duration. None without such a bucket or length.
std::optional<std::pair<double, double>> nonSilentRange(const QList<float>& samples, double duration,
                                                        float threshold);
