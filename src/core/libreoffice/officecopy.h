#pragma once

#include "core/memorybudget.h"

#include <QString>

class Job;

// The copy of an office document that an office suite is given instead of the user's file.
namespace OfficeCopy {

// Writes into `folder` a copy of the document `input` under the same name, from which nothing
// leads outside it: a ZIP package (OOXML, OpenDocument) is repacked with the links to other
// files and to the network left out and its SVG drawings confined (see OfficeLinks and
// OfficePicture), a part that can't be read emptied; RTF has its fields that include other
// files emptied; other files are copied as they are, so that even their relative links find
// nothing beside them. Returns the copy's path; a folder is given back unchanged.
//
// A package's parts go from the input to the copy one at a time, and only those that must be
// read whole (markup, drawings) are held in memory, within `budget`, which copies made at the
// same time share; every other part, of any size, streams to the copy. Throws
// ConvertError::failed when the input can't be read, unpacked or written, when the part holding
// the document's body is not well-formed, or when a part that must be read whole is larger than
// the budget allows; ConvertError::cancelled when `job` is cancelled.
QString make(const QString& input, const QString& folder, const Job* job = nullptr,
             MemoryBudget& budget = MemoryBudget::shared());

} // namespace OfficeCopy
