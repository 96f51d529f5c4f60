#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// How long earlier jobs of each title took, kept under "etaHistory" as title →
// {"base": seconds, "perMB": seconds per 1,048,576 input bytes}. Main thread.
namespace ETAStore {

// base + perMB × mebibytes, or none when the title has no complete entry. A malformed stored
// history reads as empty.
std::optional<double> expectedDuration(const QString& title, qint64 bytes);

// Moves the title's entry 40 % of the way towards this run: a quarter of the time, at most
// 1 s, as fixed cost and the rest per mebibyte. Runs of 0.2 s or less are not recorded, and a
// run without input bytes only updates the fixed cost.
void record(const QString& title, qint64 bytes, double seconds);

} // namespace ETAStore
