#pragma once

#include <QStringList>
#include <functional>

// The headless command line: scripting and testing without the tray application.
namespace CLI {

// True when the process was started as a command: a first argument that begins with "--"
// and is not exactly "--app".
bool isCommandLine(int argc, char** argv);

// Creates the application object the command needs and runs it; returns the exit status, or
// ends the process by the signal that interrupted the command.
int main(int argc, char** argv);

// Runs one command over the whole argument list (program path first); returns 0 on success,
// 1 after an error line, 2 after the usage line.
int run(const QStringList& args);

QString usageLine();
// Prints the usage line; returns 2.
int usage();
// Runs a command that prints one line on success; a thrown error becomes the "error: " line.
// Returns 0 or 1.
int printing(const std::function<QString()>& command);

// Writes one line to standard output as UTF-8, passed through printable().
void print(const QString& line);
// The same on the standard error the command was started with (descriptor 2 itself leads
// nowhere while a command runs): what a person reads and a script need not parse.
void printError(const QString& line);

// `text` with the characters that could end a line early or steer a terminal written as escapes:
// C0 controls ("\n", "\t", "\r", else "\x1B"), DEL and C1 controls ("\x7F", "\x9B"), and the
// bidirectional and line-separating format characters ("\u202E").
QString printable(const QString& text);

// A command-line path as an absolute, cleaned path: a leading tilde expanded, relative paths
// resolved against the current folder. Never checked for existence.
QString path(const QString& argument);
QStringList paths(const QStringList& arguments);

} // namespace CLI
