#pragma once

#include "tools/selfchecks.h"

#include <QString>
#include <QStringList>

class Job;

namespace CLI {

// --selftest DIR: runs each tool's own operation once, with fixed choices, over the samples in
// DIR (photo.jpg, photo.png, clip.mp4, clip.mov, song.mp3, sample.pdf), one check after another
// whatever the others gave. Prints "✓ <name>: <file> (<size>), …  [0.4s]" or "✗ <name>:
// <message>" for each ("✗ <name>: song.mp3 is not in DIR" when DIR lacks a sample it reads),
// then "All tool checks passed." or "<n> tool checks failed.". A compression that rightly keeps
// nothing passes as "✓ <name>: nothing smaller than <file> (<size>) to keep  [0.4s]": a ✗ is
// always a fault.
// The checks run on the default settings, whatever the user chose: results stay beside the
// samples under free names. Returns 0 when every check passed, else 1; SIGINT, SIGTERM or SIGHUP
// cancels the running check, which removes what it had begun, skips the rest and returns 128 +
// the signal.
int selfTest(const QStringList& rest);

// One check's line, as the self-test prints it, and whether the check passed.
struct CheckLine
{
    bool passed = false;
    QString text;
};
// Runs `check` over the samples in `samples`; an error it throws becomes its ✗ line.
CheckLine runCheck(const SelfChecks::Check& check, const QString& samples, Job& job);

} // namespace CLI
