#pragma once

#include "core/progress.h"
#include "engines/pagechoice.h"

#include <QStringList>
#include <vector>

class Job;

// The Organize PDF tool's work, on a worker thread.
namespace OrganizePDFWork {

// A new PDF "<base> Organized.pdf" of the pages of `file` as `pages` lists them, each turned by
// its choice's rotation, in the output folder, through the heavy module. Returns the path
// written; throws ConvertError.
QStringList organize(const QString& file, const std::vector<PageChoice>& pages, Job& job,
                     const Progress& progress);

// The self-test's organize of sample.pdf in `samples`, whatever its number of pages: its last
// page first, then its first turned a quarter to the right; the pages between are left out.
QStringList selfCheck(const QString& samples, Job& job);

} // namespace OrganizePDFWork
