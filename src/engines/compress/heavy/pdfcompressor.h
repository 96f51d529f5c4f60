#pragma once

#include "core/progress.h"
#include "engines/compress/compresssettings.h"

#include <QString>

class Job;

namespace Compressor {

// Writes a smaller copy of the PDF `source` at `destination` (a new file). High and balanced
// keep the document as it is and let its images be stored as JPEG where that is smaller, with
// its streams and objects packed tighter; balanced first scales every picture drawn above
// 150 ppi down to 150 ppi, as JPEG; the smallest level turns every page into a JPEG
// picture of the page's size at 110 dpi, page by page, so memory holds one page at a time, and
// leaves out a page that can't be read; it keeps the attached files, the bookmarks and the
// owner's restrictions (PictureExtras), noting the links and form fields it leaves out. Every level reads
// every page and notes to `job`, by their number, the pages that can't be read and those that could not be
// read whole, the same at every level; when none could be read the call fails with "<file name> is damaged:
// none of its pages could be read", and with "<file name> has no pages" for one without pages. A page that
// cannot be rendered or encoded fails the call. Throws the PDF engine's errors
// ("… is password-protected"), "Couldn’t write the PDF", write failures and Cancelled (asked
// before every page).
void pdf(const QString& source, CompressLevel level, const QString& destination, Job& job,
         const Progress& progress);

} // namespace Compressor
