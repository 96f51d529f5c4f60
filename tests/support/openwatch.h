#pragma once

// Notes every open or read of the files (or of anything in the folders) it watches, by anyone,
// from its making on.

#include <QFile>
#include <QStringList>
#include <sys/inotify.h>
#include <unistd.h>

class OpenWatch
{
  public:
    explicit OpenWatch(const QStringList& paths) : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        for (const QString& path : paths)
            inotify_add_watch(m_fd, QFile::encodeName(path).constData(), IN_OPEN | IN_ACCESS);
    }
    ~OpenWatch() { ::close(m_fd); }
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;
    bool opened() const
    {
        char events[4096];
        return ::read(m_fd, events, sizeof events) > 0;
    }

  private:
    int m_fd;
};
