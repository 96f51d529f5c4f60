#pragma once

#include <QStringList>

namespace CLI {

// --tool TOOL FILE…: runs one of the four tools that need no window over the files (createPDF
// once over all of them) and prints the result paths, one a line. Returns 0; 1 after an error
// line at the first failure (results written before it stay); 2 after the usage line for an
// unknown tool, or after "<tool> needs its window" for any other tool. SIGINT, SIGTERM or SIGHUP
// cancels the work, which removes what it had begun, and 128 + the signal is returned.
int tool(const QStringList& rest);

} // namespace CLI
