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

// The self-test's organize: of sample.pdf's three pages in `samples`, the third first, then
// the first turned a quarter to the right; the second is left out.
QStringList selfCheck(const QString& samples, Job& job);

} // namespace OrganizePDFWork
