#include "core/processgroup.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <poll.h>

namespace {

using Clock = std::chrono::steady_clock;

// How long a member may resist SIGKILL (blocked in the kernel) before the group is left to it.
constexpr auto killLimit = std::chrono::seconds(5);
constexpr int tickMs = 10;

// The state letter and process group of a /proc/<pid>/stat line. The command name may hold
// spaces and parentheses: the fields start after the last ')'.
bool livesIn(const QByteArray& stat, pid_t group)
{
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0) return false;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    if (fields.size() < 3) return false;
    const char state = fields[0].isEmpty() ? 'Z' : fields[0][0];
    return fields[2].toLongLong() == group && state != 'Z' && state != 'X';
}

} // namespace

namespace ProcessGroup {

bool hasLiving(pid_t group)
{
    // Nothing at all, not even a zombie: the common case needs no look through /proc.
    if (::kill(-group, 0) != 0 && errno == ESRCH) return false;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : pids) {
        if (!pid.front().isDigit()) continue;
        QFile stat(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
        if (stat.open(QIODevice::ReadOnly) && livesIn(stat.readAll(), group)) return true;
    }
    return false;
}

void end(pid_t group, Clock::time_point killAt)
{
    ::kill(-group, SIGTERM);
    const auto giveUp = std::max(Clock::now(), killAt) + killLimit;
    while (hasLiving(group)) {
        const auto now = Clock::now();
        if (now >= giveUp) return;
        if (now >= killAt) ::kill(-group, SIGKILL);
        ::poll(nullptr, 0, tickMs);
    }
}

} // namespace ProcessGroup
