#pragma once

#include <QString>
#include <QtGlobal>

// The one form of file sizes and times shown to the user.
namespace Fmt {

// The size of the item itself (a link or a folder is not followed), 0 when it can't be read.
qint64 fileSize(const QString& path);

// Seconds as "m:ss", or "m:ss.ss" with `fraction`; minutes are not split into hours. Negative
// values count as 0, values that are not finite give "0:00", and values beyond 2^53 seconds
// are shown as 2^53.
QString time(double seconds, bool fraction);

// A size in decimal units, KB to GB, as file browsers show it: "Zero KB", "1 KB", "310 KB",
// "2.3 MB", "1.25 GB".
QString byteCount(qint64 bytes);

} // namespace Fmt
