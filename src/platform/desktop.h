#pragma once

#include <QStringList>

// The desktop's workspace services.
namespace Desktop {

// Shows the items selected in the file manager (one request for all of them); falls back to
// opening the folder of the first item when no file manager answers the freedesktop call.
void reveal(const QStringList& paths);

} // namespace Desktop
