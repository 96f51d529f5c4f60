#pragma once

#include "core/archive/safeextract.h"

#include <QString>
#include <stdexcept>

class Job;

// Archive to archive without unpacking to disk: every entry is read from the source and written
// to the result as it comes, with the checks and bounds of extractSafely applied to the names,
// links and sizes, and the result the same as unpacking and packing the folder would give
// (names without "./", modes with owner access, times, empty folders, zip resource forks left
// out).
namespace ArchiveCopy {

// Thrown when an archive holds what cannot be copied entry by entry (a hard link for a zip, an
// entry of unknown size for a tar); unpacking to disk still converts it. Whatever was written
// to the output is to be discarded.
struct NeedsUnpacking : std::runtime_error
{
    NeedsUnpacking() : std::runtime_error("needs unpacking") {}
};

// Writes `archive` (format `from`) to the new file `output` as `to`: "zip", "tar" or "gz" (a
// gzip-compressed tar). Throws ConvertError::failed("Couldn’t unpack <archive name>: …") for a
// source that is refused or unreadable, "<entry> in <archive name> is damaged" for data that fail
// their checksum or their declared size, ConvertError::failed for a failed write,
// ConvertError::cancelled() when `job` is cancelled (tested between entries), and
// NeedsUnpacking. On any throw the output is incomplete and the caller removes it.
void convert(const QString& archive, const QString& from, const QString& output, const QString& to, Job& job,
             const ExtractLimits& limits = {});

} // namespace ArchiveCopy
