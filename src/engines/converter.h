#pragma once

#include "core/progress.h"

#include <QString>
#include <QStringList>
#include <functional>

class Job;

// The one entry point of format conversions: finds what the source is and hands it to the
// engine of its category.
namespace Converter {

// Converts `source` into the format `target` (a catalog format key) and returns the written
// files; an empty list when the source already is in that format. Blocks until done; throws
// ConvertError. `progress` receives fractions 0…1 of this file, possibly from another thread.
QStringList convert(const QString& source, const QString& target, Job& job, const Progress& progress);

} // namespace Converter
