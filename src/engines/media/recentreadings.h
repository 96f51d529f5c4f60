#pragma once

#include "engines/media/libav.h"

#include <QList>
#include <QString>
#include <mutex>
#include <optional>

// The last few in-process readings of media files by their paths, each good while the path names
// the same file with the same size, modification time and change time (which every write and every
// change of its permissions moves on, and no program can set back). Safe to use from several
// threads.
class RecentReadings
{
  public:
    // What tells a file's state apart; none when the file can't be looked at.
    struct Stamp
    {
        unsigned long long device = 0, inode = 0;
        long long size = 0, modified = 0, changed = 0; // times in nanoseconds
        bool operator==(const Stamp&) const = default;
    };
    static std::optional<Stamp> stamp(const QString& path);

    std::optional<LibAv::Reading> find(const QString& path, const Stamp& stamp) const;
    void keep(const QString& path, const Stamp& stamp, const LibAv::Reading& reading);

  private:
    static constexpr int kept = 8;
    mutable std::mutex m_mutex;
    struct Kept
    {
        QString path;
        Stamp stamp;
        LibAv::Reading reading;
    };
    QList<Kept> m_readings; // the latest last
};
