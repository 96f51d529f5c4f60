#pragma once

#include "core/archive/safeextract.h"

#include <QByteArray>
#include <QMap>
#include <QString>

// The regular files of any archive libarchive reads, in memory, by their names without empty and
// "." components; folders, links and special files are left out. Refuses what extractSafely() refuses
// of names and sizes (absolute names, a ".." leading out, archives beyond `limits`) and throws
// its errors, damaged entries included. A name that comes twice keeps its later data, as an
// unpacked folder would.
QMap<QString, QByteArray> readSafely(const QString& archive, const ExtractLimits& limits = {});
