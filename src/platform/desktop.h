#pragma once

#include <QStringList>
#include <chrono>
#include <functional>
#include <optional>

// The desktop's workspace services.
namespace Desktop {

// File managers that open the folder they are given, the one of `desktop` (the session's
// XDG_CURRENT_DESKTOP, a colon-separated list) first.
QStringList fileManagers(const QString& desktop);

// Shows the items selected in the file manager (one request for all of them). When no file
// manager answers the freedesktop call, opens the folder of the first item with xdg-open, and
// when xdg-open is not installed or fails, with the first installed of fileManagers(); `find`
// gives a program's full path, none when it is not installed. `failed` is called on the main
// thread with the cause in plain words when no way shows them.
void reveal(const QStringList& paths, const std::function<std::optional<QString>(const QString& name)>& find,
            std::function<void(const QString& why)> failed);

// Starts `program` (a full path) in `folder`, detached: it outlives us and is never waited for.
// False when it could not be started.
bool startDetached(const QString& program, const QStringList& args, const QString& folder);

// Starts `program` in `folder` to outlive us, in a session of its own, and watches it for `watch`:
// when it cannot be started, or ends with a failure meanwhile, `failed` is called on the main
// thread with the cause in plain words (the last line it wrote, else how it ended). What it
// writes goes to a file of ours, removed when the watch ends, never to our own output.
void startWatched(const QString& program, const QStringList& args, const QString& folder,
                  std::chrono::milliseconds watch, std::function<void(const QString& why)> failed);

} // namespace Desktop
