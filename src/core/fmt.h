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

} // namespace Fmt
