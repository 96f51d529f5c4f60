#pragma once

#include "core/toolid.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <span>

class Job;

// The self-test's table of checks, beside the table of tool windows: each tool's own operation
// once, with fixed choices, over the samples that tests/support/selftest-samples.sh makes
// (photo.jpg, photo.png, clip.mp4, clip.mov, song.mp3, sample.pdf, sample.zip). Every tool has at
// least one row: a tool with a window, its work reached in that tool's folder; a windowless tool,
// its instant work.
namespace SelfChecks {

struct Check
{
    ToolID tool;  // whose work the check runs
    QString name; // printed for the check
    // Blocks: the paths written in or beside the samples' folder; throws ConvertError.
    std::function<QStringList(const QString& samples, Job& job)> work;
};

// The checks in the order the self-test runs and prints them.
std::span<const Check> all();

} // namespace SelfChecks
