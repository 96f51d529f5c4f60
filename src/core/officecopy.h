#pragma once

#include <QString>

// The copy of an office document that an office suite is given instead of the user's file.
namespace OfficeCopy {

// Writes into `folder` a copy of the document `input` under the same name, from which nothing
// leads outside it: a ZIP package (OOXML, OpenDocument) is repacked with the links to other
// files and to the network left out and its SVG drawings confined (see OfficeLinks and
// OfficePicture), a part that can't be read emptied; RTF has its fields that include other
// files emptied; other files are copied as they are, so that even their relative links find
// nothing beside them. Returns the copy's path; a folder is given back unchanged. Throws
// ConvertError::failed when the input can't be read, unpacked or written, or when the part
// holding the document's body is not well-formed.
QString make(const QString& input, const QString& folder);

} // namespace OfficeCopy
