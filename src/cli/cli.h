#pragma once

#include <QStringList>

namespace CLI {

// True when the process was started as a command: a first argument that begins with "--"
// and is not exactly "--app".
bool isCommandLine(int argc, char** argv);

// Creates the application object the command needs and runs it; returns the exit status.
int main(int argc, char** argv);

// Runs one command over the whole argument list (program path first).
int run(const QStringList& args);

QString usageLine();

} // namespace CLI
