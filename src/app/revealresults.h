#pragma once

#include "core/jobs.h"

#include <QString>
#include <QStringList>
#include <functional>

// Showing the results of a done job in the file manager, for the jobs' runner. When nothing can
// show them, a warning says why once in the session: the setting stays on and later jobs say
// nothing more. Main thread.
namespace RevealResults {

// Shows files; `failed` is called on the main thread with the cause when nothing shows them.
using Reveal = std::function<void(const QStringList& paths, std::function<void(const QString& why)> failed)>;
// A toast that reports a failure.
using Warn = std::function<void(const QString& title, const QString& detail)>;

// The desktop's file manager, its programs found by the process runner's search.
void inFileManager(const QStringList& paths, std::function<void(const QString& why)> failed);

// The revealer to install in Jobs; each one warns at most once.
Jobs::Revealer revealer(Reveal reveal, Warn warn);
Jobs::Revealer revealer();

} // namespace RevealResults
