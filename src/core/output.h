#pragma once

#include "core/converterror.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

class Job;

// Names and places result files. Producers write into a hidden temporary item beside the
// destination; only a complete item is moved into place, under a name free at that moment.
// Nothing that exists is ever replaced.
namespace Output {

// The first free path in `folder`: "base.ext", then "base 2.ext", "base 3.ext", …
// Without an extension the candidates are folders "base", "base 2", … A name longer than the
// folder's file system takes keeps its number and extension and loses the end of the base,
// cut after a whole character.
QString unique(const QString& folder, const QString& base, const std::optional<QString>& ext);

// Where the result of `source` goes: the first free "base" + `suffix` (" Cropped", or none) +
// ".ext" in the output folder the settings choose for it, numbered "base Cropped 2.ext", …
// Without an extension the result is a folder. A name too long for the file system loses the
// end of its base, never the suffix, the number or the extension.
QString result(const QString& source, const QString& suffix, const std::optional<QString>& ext);

// Hands `producer` a hidden temporary path beside `destination` (".tolvane-XXXXXXXX.ext"),
// then commits what it made. Returns the final path; on any error the temporary item is
// removed and the error is rethrown, as explained() words it. A folder that can't be written
// fails before the producer runs; a `job` cancelled by then fails with "Cancelled" instead of
// committing.
QString write(const QString& destination, const std::function<void(const QString& temporary)>& producer,
              const Job* job = nullptr);

// The plain failure of a write that met `error` (an errno value): "The disk is full",
// "Tolvane isn’t allowed to write the result in this folder", … `details` keeps the raw words.
ConvertError writeFailure(int error, const QString& details = {});

// `failure` as the plain failure of writing into `folder` when that folder can't be written or
// its disk is full (the failure's own words become the details); otherwise `failure` itself.
ConvertError explained(const ConvertError& failure, const QString& folder);

// Writes `bytes` as the new file `path`; throws writeFailure() when any of it can't be written.
void writeFile(const QString& path, const QByteArray& bytes);

// Moves a finished temporary item to `destination`, or to the next free numbered name when
// that is taken (also when another commit takes it at the same moment), shortened as unique()
// does when it is too long. `destinationIsFolder`
// marks a folder destination, whose whole name is the base.
QString commit(const QString& temporary, const QString& destination, bool destinationIsFolder = false);

// Where a scratch folder goes: the temporary directory, or memory for a small folder that is
// written and read a great deal (LibreOffice's profile).
enum class ScratchPlace { temporary, memory };

// A new, empty folder "tolvane-<uuid>" in the temporary directory; the caller removes it. In
// memory: the user's runtime folder or /dev/shm when one is a memory file system and the user
// has not chosen a temporary directory (TMPDIR), else the temporary directory too.
QString scratch(ScratchPlace place = ScratchPlace::temporary);

// The file name without its extension; ".tar.gz" and ".tgz" count as one extension.
QString baseName(const QString& path);

// Whether `path` names one of the hidden temporary items that write() hands its producers.
bool isTemporary(const QString& path);

// The temporary name used for a destination: ".tolvane-" + 8 upper-case hex digits + "." + ext.
QString temporaryPath(const QString& destination);

} // namespace Output
