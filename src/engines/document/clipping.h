#pragma once

#include <QString>

namespace Doc {

// The text of a text clipping file (a property list whose "UTI-Data" dictionary holds the
// clipped text as UTF-8, UTF-16 or RTF, preferred in that order). Throws ConvertError "This
// clipping has no text" for anything else, also for a file that is no property list, and the
// read error when the file can't be read.
QString clippingText(const QString& path);

} // namespace Doc
