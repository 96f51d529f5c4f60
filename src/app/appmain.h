#pragma once

#include <QString>
#include <optional>

namespace App {

// Runs the tray application until the user quits it. Without a display it says so in one line
// and returns 1. A start while this user's application already runs on the same display hands
// its arguments over and returns 0.
int main(int argc, char** argv);

// The socket through which later starts reach the running application: in $XDG_RUNTIME_DIR, or
// without a private one in "tolvane-<uid>" in the temporary folder (made 0700 when missing).
// None when that folder is not this user's alone, so that nobody else can take the name.
std::optional<QString> instanceSocket();

} // namespace App
