#pragma once

#include "core/archive/safeextract.h"
#include "core/scratchfolder.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <optional>

// The zip container of the package writers and readers (EPUB, XLSX, PPTX, ODS).
namespace Zip {

// Writes `parts` (relative path with "/" between folders → bytes) as a new zip archive at
// `outputPath`, replacing a file there. With a `mimetype`, the archive's first entry is
// "mimetype", stored uncompressed without extra fields, holding exactly its UTF-8 bytes; the
// parts follow in code-point order of their paths, each deflated unless that doesn't make it
// smaller. Paths that are empty, absolute or hold "." or ".." components are refused, as is a
// part whose path is another's folder. A failed write leaves nothing at `outputPath`.
void write(const QMap<QString, QByteArray>& parts, const QString& outputPath,
           const std::optional<QString>& mimetype = std::nullopt);

// Unpacks the archive into a new scratch folder and returns it; the folder goes when the caller
// drops it. Nothing is ever written outside that folder; on failure it is removed.
ScratchFolder extract(const QString& archivePath, const ExtractLimits& limits = {});

} // namespace Zip
