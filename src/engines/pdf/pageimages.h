#pragma once

#include "core/memorybudget.h"
#include "core/progress.h"

#include <QString>
#include <QStringList>
#include <functional>

class Job;

namespace Doc {

// Turns the pages of `pdf` into `format` (jpg or png) images at `dpi`, named after `src` (the
// file the user dropped) in its output folder: one page gives "<base>.<format>", several give
// a folder "<base>" of "Page 001.<format>", "Page 002.<format>", … (free names are taken).
// Nothing appears until the whole result is complete; on failure or cancel nothing is left.
// `progress` hears (i + 1) / n after each page of a several-page document. Throws ConvertError
// "Nothing to render" for a file that cannot be opened, and "<src's name> has no pages" for a sound
// document without pages.
// Pages that could not be read, or not whole, are noted to `job` by their number in `src` (a
// page that can't be read is left out and its number with it); when none could be read, throws
// ConvertError "<src's name> is damaged: none of its pages could be read". Each page takes its
// charge of `budget` before it is rendered and gives it back once written (see PixelBudget).
QStringList writePageImages(const QString& pdf, const QString& src, const QString& format, double dpi,
                            Job& job, const Progress& progress,
                            MemoryBudget& budget = MemoryBudget::pictures());

} // namespace Doc
