#pragma once

#include "core/shell.h"

#include <QString>
#include <QStringList>
#include <chrono>

class Job;

// The private LibreOffice profile every exchange runs with. LibreOffice starts twice on a new
// profile (it exits once to settle its extensions), so the first exchange with a LibreOffice
// build prepares a template, kept in the user's cache folder and keyed on the build's version
// file, and each exchange runs on a copy of its own: documents never share a profile.
namespace OfficeProfile {

// Makes the empty folder `folder` a private profile for the LibreOffice program `soffice`: a copy
// of the template for its build, made first when there is none or when the one there lacks a
// setting (see holdsSettings); where no template can be had, a new profile holding only the
// settings. Throws ConvertError: cancelled when `job` is cancelled while the template is made,
// failed when the profile can't be written.
void make(const QString& soffice, const QString& folder, Job* job);

// Whether the profile in `folder` holds, as LibreOffice reads it, every setting a private
// profile must have: links in a document are never updated or followed, remote content is
// blocked, cached formula results are used instead of recalculating, and macros never run.
bool holdsSettings(const QString& folder);

// LibreOffice's arguments for a run without a window, splash, recovery or lock check on the
// private profile in `folder`.
QStringList runArgs(const QString& folder);

// Runs `soffice` with runArgs(folder) and `args`, with a temporary folder of its own that is
// removed when the run ends, also after a cancel or the time limit; as Shell::run otherwise.
Shell::Result run(const QString& soffice, const QString& folder, const QStringList& args, Job* job,
                  std::chrono::milliseconds timeLimit);

} // namespace OfficeProfile
