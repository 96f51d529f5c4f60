#pragma once

#include <QStringList>

// The desktop's workspace services.
namespace Desktop {

// Shows the items selected in the file manager (one request for all of them); falls back to
// opening the folder of the first item when no file manager answers the freedesktop call.
void reveal(const QStringList& paths);

// Starts `program` (a full path) in `folder`, detached: it outlives us and is never waited for.
// False when it could not be started.
bool startDetached(const QString& program, const QStringList& args, const QString& folder);

} // namespace Desktop
