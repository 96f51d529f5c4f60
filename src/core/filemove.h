#pragma once

#include <QString>
#include <optional>

// Moves the user's items into another folder without ever replacing or losing anything.
namespace FileMove {

// Moves `source` (a file, a link or a folder) into `folder` under its own name, or the first
// free one of "name 2.ext", "name 3.ext", … ("archive.tar 2.gz": only the last extension is
// split off). Across file systems the item is copied under a hidden name in `folder`, checked
// against the original and put in place before the original is removed. Returns the new
// path (an item already in `folder` stays as it is); throws ConvertError::failed with the reason,
// leaving the original where it was (or, when only its removal failed, in both places). A folder
// is never moved into itself.
QString moveInto(const QString& source, const QString& folder);

// The name split as the move numbers it: the base and the extension after the last dot, none
// for a name without one or a hidden name like ".profile".
std::pair<QString, std::optional<QString>> splitName(const QString& name);

} // namespace FileMove
