#include "core/shell.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/processgroup.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <linux/close_range.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Time a cancelled child gets to end after SIGTERM before its whole group is killed.
constexpr auto killGrace = std::chrono::seconds(2);
// Once the child has exited, a grandchild may still hold the pipes: output is read until they
// stay quiet this long, and for no longer than drainLimit in all.
constexpr int quietMs = 100;
constexpr auto drainLimit = std::chrono::seconds(1);
// How often the wait looks at the job's cancel flag (and at the child, without a pidfd).
constexpr int tickMs = 100;

// Process groups of the children running now, for terminateAll() in a signal handler.
constexpr int maxLiveGroups = 64;
std::atomic<pid_t> liveGroups[maxLiveGroups];
static_assert(std::atomic<pid_t>::is_always_lock_free);

void addLiveGroup(pid_t group)
{
    for (auto& slot : liveGroups) {
        pid_t empty = 0;
        if (slot.compare_exchange_strong(empty, group)) return;
    }
}

void removeLiveGroup(pid_t group)
{
    for (auto& slot : liveGroups) {
        pid_t expected = group;
        if (slot.compare_exchange_strong(expected, 0)) return;
    }
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

class Fd
{
  public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    // Hands the descriptor over: it is no longer closed here.
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd = -1)
    {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = fd;
    }

  private:
    int m_fd = -1;
};

// Keeps a descriptor clear of 0, 1 and 2, which the child overwrites with its own.
int aboveStandard(int fd)
{
    if (fd < 0 || fd > 2) return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    return moved;
}

bool makePipe(Fd& readEnd, Fd& writeEnd)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    readEnd.reset(aboveStandard(fds[0]));
    writeEnd.reset(aboveStandard(fds[1]));
    return readEnd.isOpen() && writeEnd.isOpen();
}

// Everything the child needs, prepared before it starts.
struct ChildSetup
{
    const char* path;
    char* const* argv;
    char* const* envp;
    const char* cwd; // null: inherit
    int input, output, error, report;
    pid_t parent;
    int openMax;
};

[[noreturn]] void failChild(int report, int error)
{
    while (::write(report, &error, sizeof error) < 0 && errno == EINTR) {
    }
    ::_exit(127);
}

// Runs in the vforked child, on the parent's memory until execve: system calls only, nothing
// that allocates or takes a lock, and no return.
[[noreturn]] void startChild(const ChildSetup& s)
{
    // The parent's handlers must never run in the child; all signals are blocked until here.
    struct sigaction byDefault = {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    for (int sig = 1; sig < NSIG; ++sig)
        ::sigaction(sig, &byDefault, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);

    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != s.parent) ::_exit(127);

    if (::dup2(s.input, 0) < 0 || ::dup2(s.output, 1) < 0 || ::dup2(s.error, 2) < 0)
        failChild(s.report, errno);
    if (s.cwd && ::chdir(s.cwd) != 0) failChild(s.report, errno);
    if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
        for (int fd = 3; fd < s.openMax; ++fd)
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    ::execve(s.path, s.argv, s.envp);
    failChild(s.report, errno);
}

struct Argv
{
    std::vector<QByteArray> store;
    std::vector<char*> pointers;

    explicit Argv(std::vector<QByteArray> items) : store(std::move(items))
    {
        for (QByteArray& item : store)
            pointers.push_back(item.data());
        pointers.push_back(nullptr);
    }
};

// This process's environment with PATH set to the search path, taken as it is: the bytes of each
// entry pass on unchanged.
std::vector<QByteArray> childEnvironment()
{
    std::vector<QByteArray> entries;
    for (char** entry = environ; entry && *entry; ++entry)
        if (std::strncmp(*entry, "PATH=", 5) != 0) entries.emplace_back(*entry);
    entries.push_back("PATH=" + QFile::encodeName(Shell::searchPaths().join(QLatin1Char(':'))));
    return entries;
}

// Looks without reaping, so that the pid stays ours until the job has let go of it.
bool hasExited(pid_t pid)
{
    siginfo_t info = {};
    if (::waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT) != 0) return errno == ECHILD;
    return info.si_pid == pid;
}

int reap(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return status;
}

// Reads what one pipe has into `buffer`: the byte count, 0 at the pipe's end, -1 when nothing was
// there after all.
ssize_t readChunk(int fd, char* buffer, size_t size)
{
    const ssize_t n = ::read(fd, buffer, size);
    if (n < 0) return errno == EINTR || errno == EAGAIN ? -1 : 0;
    return n;
}

// The wait of one run: reads both pipes while the child lives, ends it when the job is cancelled
// or the time limit passes, and drains what is left once it has exited.
class Wait
{
  public:
    Wait(pid_t pid, const Shell::Options& options, const QString& name)
        : m_pid(pid), m_options(options), m_name(name)
    {
        if (options.timeLimit) m_deadline = Clock::now() + *options.timeLimit;
    }

    // Returns once the child has exited and its pipes are drained, or the drain gave up.
    void operator()(Fd& out, Fd& err, Fd& exitFd, Shell::Result& result)
    {
        for (;;) {
            const auto now = Clock::now();
            if (!m_exitedAt && hasExited(m_pid)) m_exitedAt = now;
            if (m_exitedAt && ((!out.isOpen() && !err.isOpen()) || now - *m_exitedAt >= drainLimit)) return;
            if (!m_exitedAt) stopIfAsked(now, result);

            pollfd fds[3];
            nfds_t count = 0;
            const auto watch = [&](int fd) { fds[count++] = pollfd{fd, POLLIN, 0}; };
            if (out.isOpen()) watch(out.get());
            if (err.isOpen()) watch(err.get());
            if (exitFd.isOpen() && !m_exitedAt) watch(exitFd.get());
            const bool ticks = !exitFd.isOpen() || m_options.job || m_deadline;
            const int timeout = m_exitedAt ? quietMs : ticks ? tickMs : -1;

            const int ready = ::poll(fds, count, timeout);
            if (ready < 0 && errno != EINTR)
                throw ConvertError::failed(
                    QStringLiteral("Couldn’t run %1: %2").arg(m_name, systemError(errno)));
            if (ready == 0 && m_exitedAt) return;
            // Standard error first: what a child wrote there before a line of standard output
            // reaches its callback first too.
            for (nfds_t i = 0; ready > 0 && i < count; ++i)
                if (fds[i].revents && fds[i].fd == err.get()) readError(err);
            for (nfds_t i = 0; ready > 0 && i < count; ++i)
                if (fds[i].revents && fds[i].fd == out.get()) readOutput(out, result);
        }
    }

    // When the group was asked to end (a cancel or the time limit), the moment to kill what is
    // left of it.
    std::optional<Clock::time_point> killAt() const
    {
        if (m_stopAsked) return *m_stopAsked + killGrace;
        if (m_options.job && m_options.job->isCancelled()) return Clock::now() + killGrace;
        return std::nullopt;
    }

    QByteArray errorBytes() const { return m_errBytes; }

  private:
    // A cancel or the time limit: SIGTERM to the group, then
    // SIGKILL once the grace has passed with the child still running.
    void stopIfAsked(Clock::time_point now, Shell::Result& result)
    {
        if (m_deadline && !result.timedOut && now >= *m_deadline) {
            result.timedOut = true;
            ::kill(-m_pid, SIGTERM);
            m_stopAsked = now;
        }
        if (!m_stopAsked && m_options.job && m_options.job->isCancelled()) {
            // A cancel set from a signal handler has not reached the group yet.
            ::kill(-m_pid, SIGTERM);
            m_stopAsked = now;
        }
        if (m_stopAsked && !m_killed && now - *m_stopAsked >= killGrace) {
            ::kill(-m_pid, SIGKILL);
            m_killed = true;
        }
    }

    void readOutput(Fd& out, Shell::Result& result)
    {
        const ssize_t n = readChunk(out.get(), m_buffer, sizeof m_buffer);
        if (n == 0) out.reset();
        if (n <= 0) return;
        if (m_options.onOutput)
            m_options.onOutput(QByteArrayView(m_buffer, n));
        else
            result.stdoutBytes.append(m_buffer, n);
        if (!m_options.onLine) return;
        m_pending.append(m_buffer, n);
        qsizetype start = 0;
        for (qsizetype lf; (lf = m_pending.indexOf('\n', start)) >= 0; start = lf + 1)
            m_options.onLine(QString::fromUtf8(m_pending.constData() + start, lf - start));
        m_pending.remove(0, start);
    }

    void readError(Fd& err)
    {
        const ssize_t n = readChunk(err.get(), m_buffer, sizeof m_buffer);
        if (n == 0) err.reset();
        if (n <= 0) return;
        const qsizetype from = m_errBytes.size();
        m_errBytes.append(m_buffer, n);
        if (!m_options.onErrorLine) return;
        qsizetype start = m_errLineStart;
        for (qsizetype lf; (lf = m_errBytes.indexOf('\n', std::max(start, from))) >= 0; start = lf + 1)
            m_options.onErrorLine(QString::fromUtf8(m_errBytes.constData() + start, lf - start));
        m_errLineStart = start;
    }

    const pid_t m_pid;
    const Shell::Options& m_options;
    const QString m_name;
    std::optional<Clock::time_point> m_deadline, m_stopAsked, m_exitedAt;
    bool m_killed = false;
    QByteArray m_errBytes, m_pending;
    qsizetype m_errLineStart = 0; // where the standard-error line not yet handed on starts
    char m_buffer[65536];
};

} // namespace

namespace Shell {

QStringList searchPaths()
{
    if (qEnvironmentVariableIsSet("TOLVANE_SEARCH_PATH"))
        return qEnvironmentVariable("TOLVANE_SEARCH_PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    return {QStringLiteral("/usr/local/bin"), QStringLiteral("/usr/bin"), QStringLiteral("/bin"),
            QStringLiteral("/usr/sbin"), QStringLiteral("/snap/bin")};
}

std::optional<QString> find(const QString& name)
{
    if (name.isEmpty() || name.contains(QLatin1Char('/'))) return std::nullopt;
    for (const QString& folder : searchPaths()) {
        const QString path = folder + QLatin1Char('/') + name;
        const QByteArray encoded = QFile::encodeName(path);
        struct stat st;
        if (::stat(encoded.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(encoded.constData(), X_OK) == 0)
            return path;
    }
    return std::nullopt;
}

Result run(const QString& program, const QStringList& args, const std::optional<QString>& cwd, Job* job,
           const std::function<void(const QString& line)>& onLine,
           std::optional<std::chrono::milliseconds> timeLimit)
{
    Options options;
    options.cwd = cwd;
    options.job = job;
    options.onLine = onLine;
    options.timeLimit = timeLimit;
    return run(program, args, options);
}

Result run(const QString& program, const QStringList& args, const Options& options)
{
    return start(program, args, options).wait();
}

// What a started child needs until it is waited for.
struct Started::Child
{
    QString name;
    Options options;
    pid_t pid = -1;
    Fd out, err, exitFd;

    // Unregisters before reaping, so that nobody signals a group whose id may be reused.
    int release()
    {
        if (options.job) options.job->detachProcess(pid);
        removeLiveGroup(pid);
        return reap(pid);
    }
};

Started start(const QString& program, const QStringList& args, Options options)
{
    const QString name = QFileInfo(program).fileName();
    const auto startError = [&](int error) {
        return ConvertError::failed(QStringLiteral("Couldn’t start %1: %2").arg(name, systemError(error)));
    };
    Job* const job = options.job;

    const QByteArray path = QFile::encodeName(program);
    std::vector<QByteArray> argItems{path};
    for (const QString& arg : args)
        argItems.push_back(QFile::encodeName(arg));
    Argv argv(std::move(argItems));
    Argv envp(childEnvironment());
    const QByteArray workingFolder = options.cwd ? QFile::encodeName(*options.cwd) : QByteArray();

    Fd input(aboveStandard(::open("/dev/null", O_RDONLY | O_CLOEXEC)));
    if (!input.isOpen()) throw startError(errno);
    Fd outRead, outWrite, errRead, errWrite, reportRead, reportWrite;
    if (!makePipe(outRead, outWrite) || !makePipe(errRead, errWrite) || !makePipe(reportRead, reportWrite))
        throw startError(errno);

    const ChildSetup setup{path.constData(),     argv.pointers.data(),
                           envp.pointers.data(), options.cwd ? workingFolder.constData() : nullptr,
                           input.get(),          outWrite.get(),
                           errWrite.get(),       reportWrite.get(),
                           ::getpid(),           int(std::clamp(::sysconf(_SC_OPEN_MAX), 1024L, 65536L))};
    auto child = std::make_unique<Started::Child>();
    child->name = name;
    child->options = std::move(options);

    // vfork, not fork: copying the page tables of a process this large costs several
    // milliseconds a child. The parent's thread waits until the child has called execve.
    sigset_t all, previous;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t pid = ::vfork();
    if (pid == 0) startChild(setup);
    const int forkError = errno;
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (pid < 0) throw startError(forkError);

    input.reset();
    outWrite.reset();
    errWrite.reset();
    reportWrite.reset();
    // Also set here, so that the group exists before anyone may signal it.
    ::setpgid(pid, pid);
    addLiveGroup(pid);
    // A cancel that came before the registration finds no process: end the child ourselves.
    if (job && !job->attachProcess(pid)) ::kill(-pid, SIGTERM);

    child->pid = pid;

    int childError = 0;
    ssize_t got;
    while ((got = ::read(reportRead.get(), &childError, sizeof childError)) < 0 && errno == EINTR) {
    }
    if (got == ssize_t(sizeof childError)) {
        child->release();
        if (job && job->isCancelled()) throw ConvertError::cancelled();
        throw startError(childError);
    }

    ::fcntl(outRead.get(), F_SETFL, ::fcntl(outRead.get(), F_GETFL) | O_NONBLOCK);
    ::fcntl(errRead.get(), F_SETFL, ::fcntl(errRead.get(), F_GETFL) | O_NONBLOCK);
    child->out.reset(outRead.release());
    child->err.reset(errRead.release());
    // Wakes the wait when the child exits; without it (old kernels, filters) the wait ticks.
    child->exitFd.reset(int(::syscall(SYS_pidfd_open, pid, 0)));
    return Started(std::move(child));
}

Started::Started(std::unique_ptr<Child> child) : m_child(std::move(child)) {}

Started::Started(Started&& other) noexcept = default;

Started::~Started()
{
    if (!m_child) return;
    ProcessGroup::end(m_child->pid, Clock::now());
    m_child->release();
}

Result Started::wait()
{
    const std::unique_ptr<Child> child = std::move(m_child);
    Job* const job = child->options.job;
    Result result;
    Wait waiting(child->pid, child->options, child->name);
    try {
        waiting(child->out, child->err, child->exitFd, result);
    } catch (...) {
        ProcessGroup::end(child->pid, Clock::now());
        child->release();
        throw;
    }
    // The child has exited, but what it started may live on; the zombie still holds the group.
    if (const auto killAt = waiting.killAt()) ProcessGroup::end(child->pid, *killAt);
    result.status = child->release();
    if (job && job->isCancelled()) throw ConvertError::cancelled();
    result.stderrText = QString::fromUtf8(waiting.errorBytes());
    return result;
}

QString failureText(const QString& program, const Result& result)
{
    const QStringList lines = result.stderrText.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QString tail = lines.mid(std::max<qsizetype>(0, lines.size() - 3)).join(QLatin1Char(' '));
    return QFileInfo(program).fileName() + QStringLiteral(" failed: ") +
           (tail.isEmpty() ? QStringLiteral("exit ") + QString::number(result.status) : tail);
}

void terminateAll()
{
    for (auto& slot : liveGroups) {
        const pid_t group = slot.load();
        if (group > 0) ::kill(-group, SIGTERM);
    }
}

} // namespace Shell
