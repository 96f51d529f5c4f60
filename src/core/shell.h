#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class Job;

// Finds and runs outside programs: never through a shell, standard input from /dev/null,
// PATH set to the search path, each child in its own process group so that cancelling a job
// ends the child and everything it started.
namespace Shell {

struct Result
{
    int status = 0;         // exit status, or 128 + signal number when killed by a signal
    QByteArray stdoutBytes; // everything the child wrote to standard output
    QString stderrText;     // standard error, UTF-8 with bad sequences replaced
    bool timedOut = false;  // the time limit passed and the child's group was ended
    QString out() const { return QString::fromUtf8(stdoutBytes); }
};

// The folders searched for programs, in order; also the PATH of every child. Tests may replace
// it with the colon-separated TOLVANE_SEARCH_PATH environment variable.
QStringList searchPaths();

// The full path of `name` in the first search folder that holds an executable file by that name.
std::optional<QString> find(const QString& name);

// How a program is run; every field may keep its default.
struct Options
{
    std::optional<QString> cwd; // the child's working folder; by default the application's
    Job* job = nullptr;         // cancelling it ends the child's whole process group
    // Each complete standard-output line, without its line feed, while the child runs.
    std::function<void(const QString& line)> onLine;
    // Standard-output bytes as they arrive, in order. With it the result keeps no standard output,
    // so a child may write any amount.
    std::function<void(QByteArrayView bytes)> onOutput;
    // Each complete standard-error line, without its line feed, while the child runs; the result
    // still keeps the whole of standard error.
    std::function<void(const QString& line)> onErrorLine;
    // A child still running when it passes has its group ended like a cancel; the result says so.
    std::optional<std::chrono::milliseconds> timeLimit;
};

// A program start() has started. wait() waits for it once, on whatever thread; one that goes
// unwaited has its whole process group ended and is reaped first.
class Started
{
  public:
    Started(Started&& other) noexcept;
    Started& operator=(Started&&) = delete;
    Started(const Started&) = delete;
    Started& operator=(const Started&) = delete;
    ~Started();

    // Waits for the program as run() does and returns or throws what run() would.
    Result wait();

  private:
    struct Child;
    friend Started start(const QString& program, const QStringList& args, Options options);
    explicit Started(std::unique_ptr<Child> child);

    std::unique_ptr<Child> m_child;
};

// Starts `program` as run() does and returns once it is running, so that the caller may go on
// while it works. Throws as run() does when it can't be started.
Started start(const QString& program, const QStringList& args, Options options);

// Runs `program` (a full path) with `args` and waits for it. Returns whatever the exit status;
// throws ConvertError::cancelled() when the job was cancelled during the run, and
// ConvertError::failed when the program cannot be started. After a cancel or the time limit the
// call returns only once nothing of the child's process group is left: what ignores SIGTERM is
// killed.
Result run(const QString& program, const QStringList& args, const Options& options);
Result run(const QString& program, const QStringList& args, const std::optional<QString>& cwd = std::nullopt,
           Job* job = nullptr, const std::function<void(const QString& line)>& onLine = {},
           std::optional<std::chrono::milliseconds> timeLimit = std::nullopt);

// "<program file name> failed: " + the last three non-empty lines of standard error joined by
// spaces, or "exit <status>" when standard error has none.
QString failureText(const QString& program, const Result& result);

// Async-signal-safe: sends SIGTERM to the process group of every child running now, for a
// command line's SIGINT and SIGTERM handlers.
void terminateAll();

} // namespace Shell
