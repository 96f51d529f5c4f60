#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace CLI {

// The catalog's key for a FORMAT argument typed in any letter case ("MP4" gives "mp4"), as a
// petal label ("GZIP") or as a common alias ("jpeg", "tif"); none for a text that names no
// catalog format, such as one holding a path.
std::optional<QString> formatKey(const QString& typed);

// --convert FORMAT FILE… (at least one file): converts the files side by side, as many at a time
// as there are cores, and prints one line per file in the order given, each as soon as the files
// before it have theirs. Returns 0, or 1 when any file failed or FORMAT is unknown (after an
// error line). SIGINT, SIGTERM or SIGHUP cancels the running conversions, which remove what
// they had begun; the files not yet started are left alone and 128 + the signal is returned.
int convert(const QStringList& rest);

} // namespace CLI
