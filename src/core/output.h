#pragma once

#include <QString>
#include <functional>
#include <optional>

// Names and places result files. Producers write into a hidden temporary item beside the
// destination; only a complete item is moved into place, under a name free at that moment.
// Nothing that exists is ever replaced.
namespace Output {

// The first free path in `folder`: "base.ext", then "base 2.ext", "base 3.ext", …
// Without an extension the candidates are folders "base", "base 2", …
QString unique(const QString& folder, const QString& base, const std::optional<QString>& ext);

// Hands `producer` a hidden temporary path beside `destination` (".tolvane-XXXXXXXX.ext"),
// then commits what it made. Returns the final path; on any error the temporary item is
// removed and the error is rethrown.
QString write(const QString& destination, const std::function<void(const QString& temporary)>& producer);

// Moves a finished temporary item to `destination`, or to the next free numbered name when
// that is taken (also when another commit takes it at the same moment). `destinationIsFolder`
// marks a folder destination, whose whole name is the base.
QString commit(const QString& temporary, const QString& destination, bool destinationIsFolder = false);

// A new, empty folder "tolvane-<uuid>" in the temporary directory; the caller removes it.
QString scratch();

// The file name without its extension; ".tar.gz" and ".tgz" count as one extension.
QString baseName(const QString& path);

// The temporary name used for a destination: ".tolvane-" + 8 upper-case hex digits + "." + ext.
QString temporaryPath(const QString& destination);

} // namespace Output
