#include "core/checkedfile.h"

#include "core/output.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype bufferSize = 256 * 1024;

} // namespace

CheckedFile::CheckedFile(const QString& path, Existing existing) : m_path(path)
{
    const int flags = O_RDWR | O_CREAT | O_CLOEXEC | (existing == Existing::refuse ? O_EXCL : O_TRUNC);
    m_fd = ::open(QFile::encodeName(path).constData(), flags, 0666);
    if (m_fd < 0) throw Output::writeFailure(errno);
    QIODevice::open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    m_buffer.reserve(bufferSize);
}

CheckedFile::~CheckedFile()
{
    if (m_fd >= 0) ::close(m_fd);
}

qint64 CheckedFile::size() const
{
    struct stat st;
    const qint64 onDisk = m_fd >= 0 && ::fstat(m_fd, &st) == 0 ? qint64(st.st_size) : 0;
    return std::max(onDisk, m_bufferStart + m_buffer.size());
}

void CheckedFile::fail(int error)
{
    if (m_error == 0) m_error = error ? error : EIO;
}

bool CheckedFile::flushBuffer()
{
    qint64 done = 0;
    while (done < m_buffer.size()) {
        const ssize_t n = ::pwrite(m_fd, m_buffer.constData() + done, size_t(m_buffer.size() - done),
                                   off_t(m_bufferStart + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            fail(n < 0 ? errno : ENOSPC);
            break;
        }
        done += n;
    }
    m_bufferStart += done;
    m_buffer.clear();
    return m_error == 0;
}

qint64 CheckedFile::writeData(const char* data, qint64 size)
{
    // After a failure the file is lost anyway: refusing further writes stops the writer early.
    const qint64 refused = m_absorb ? size : -1;
    if (m_error != 0 || m_fd < 0) return refused;
    const qint64 at = pos();
    if (at != m_bufferStart + m_buffer.size() && !flushBuffer()) return refused;
    if (m_buffer.isEmpty()) m_bufferStart = at;
    m_buffer.append(data, qsizetype(size));
    if (m_buffer.size() >= bufferSize && !flushBuffer()) return refused;
    return size;
}

qint64 CheckedFile::readData(char* data, qint64 maxSize)
{
    if (m_fd < 0 || !flushBuffer()) return -1;
    for (;;) {
        const ssize_t n = ::pread(m_fd, data, size_t(maxSize), off_t(pos()));
        if (n >= 0 || errno != EINTR) return n;
    }
}

void CheckedFile::finish()
{
    if (m_fd >= 0) {
        flushBuffer();
        if (::close(m_fd) != 0) fail(errno);
        m_fd = -1;
    }
    QIODevice::close();
    if (m_error != 0) throw Output::writeFailure(m_error);
}
