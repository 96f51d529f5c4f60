#include "engines/media/recentreadings.h"

#include <QFile>
#include <sys/stat.h>

std::optional<RecentReadings::Stamp> RecentReadings::stamp(const QString& path)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    const auto nanoseconds = [](const timespec& t) { return (long long)t.tv_sec * 1000000000LL + t.tv_nsec; };
    return Stamp{st.st_dev, st.st_ino, st.st_size, nanoseconds(st.st_mtim), nanoseconds(st.st_ctim)};
}

std::optional<LibAv::Reading> RecentReadings::find(const QString& path, const Stamp& stamp) const
{
    const std::lock_guard lock(m_mutex);
    for (const Kept& k : m_readings)
        if (k.path == path && k.stamp == stamp) return k.reading;
    return std::nullopt;
}

void RecentReadings::keep(const QString& path, const Stamp& stamp, const LibAv::Reading& reading)
{
    const std::lock_guard lock(m_mutex);
    m_readings.removeIf([&](const Kept& k) { return k.path == path; });
    m_readings << Kept{path, stamp, reading};
    while (m_readings.size() > kept)
        m_readings.removeFirst();
}
