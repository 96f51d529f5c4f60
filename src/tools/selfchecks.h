#pragma once

#include "core/toolid.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <span>
#include <utility>

class Job;

// The self-test's table of checks, beside the table of tool windows: each tool's own operation
// once, with fixed choices, over the six samples that tests/support/selftest-samples.sh makes
// (photo.jpg, photo.png, clip.mp4, clip.mov, song.mp3, sample.pdf; a PDF of any number of pages).
// Every tool has at least one row: a tool with a window, its work reached in that tool's folder; a
// windowless tool, its instant work.
namespace SelfChecks {

// What a check that passed gives: the files it wrote, or, from a tool that rightly keeps nothing
// when it can't do better than its source (compression), that source and no files.
struct Outcome
{
    // Implicit, as most checks give the files they wrote.
    Outcome(QStringList written) : files(std::move(written)) {}
    static Outcome alreadySmallest(const QString& source)
    {
        Outcome outcome(QStringList{});
        outcome.unimproved = source;
        return outcome;
    }

    QStringList files;
    QString unimproved; // the source nothing smaller than which could be made; empty otherwise
};

struct Check
{
    ToolID tool;         // whose work the check runs
    QString name;        // printed for the check
    QStringList samples; // the samples the work reads, by file name
    // Blocks: what it wrote in or beside the samples' folder; throws ConvertError on a fault.
    std::function<Outcome(const QString& samples, Job& job)> work;
};

// The checks in the order the self-test runs and prints them.
std::span<const Check> all();

// Throws ConvertError::failed ("clip.mp4 is not in /home/ann/samples") for the first of
// `check`'s samples that the folder `samples` doesn't hold.
void requireSamples(const Check& check, const QString& samples);

} // namespace SelfChecks
