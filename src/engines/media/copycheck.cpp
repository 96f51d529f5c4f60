#include "engines/media/copycheck.h"

#include "engines/media/libav.h"

#include <QFile>

namespace {

std::optional<struct stat> stateOf(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return std::nullopt;
    return st;
}

// Whether a file is the same as when it was read: where it lies, its size and its last change.
bool unchanged(const std::optional<struct stat>& then, const std::optional<struct stat>& now)
{
    return then && now && then->st_dev == now->st_dev && then->st_ino == now->st_ino &&
           then->st_size == now->st_size && then->st_mtim.tv_sec == now->st_mtim.tv_sec &&
           then->st_mtim.tv_nsec == now->st_mtim.tv_nsec;
}

} // namespace

CopyCheck::CopyCheck(FirstRun& first, const QString& output, const QString& target)
    : m_first(first), m_output(output), m_target(target), m_endReader([this] {
          try {
              m_end = readOnceWritten(true);
          } catch (...) {
              m_failure = std::current_exception();
          }
      })
{
}

CopyCheck::~CopyCheck()
{
    if (!m_endReader.joinable()) return;
    m_first.stop();
    m_endReader.join();
}

void CopyCheck::read()
{
    m_start = readOnceWritten(false);
    m_endReader.join();
    if (m_failure) std::rethrow_exception(m_failure);
}

std::optional<QString> CopyCheck::undecodable() const
{
    const std::optional<struct stat> now = stateOf(m_output);
    if (!m_start.read || !m_end.read || !unchanged(m_start.file, now) || !unchanged(m_end.file, now))
        return LibAv::undecodable(m_output, m_target);
    return m_start.failing ? m_start.failing : m_end.failing;
}

CopyCheck::Reading CopyCheck::readOnceWritten(bool end) const
{
    Reading r;
    if (!m_first.waitWritten()) return r;
    r.read = true;
    r.file = stateOf(m_output);
    r.failing = LibAv::undecodable(m_output, m_target, end ? LibAv::Stretch::end : LibAv::Stretch::start);
    return r;
}
