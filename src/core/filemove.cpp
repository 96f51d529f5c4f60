#include "core/filemove.h"

#include "core/converterror.h"
#include "core/output.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int maxAttempts = 1000;
constexpr size_t chunk = 1 << 20;

// A failure of one step, with the system's reason.
struct SystemFailure
{
    int error;
};

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

void check(bool ok)
{
    if (!ok) throw SystemFailure{errno ? errno : EIO};
}

// Closes a descriptor when it goes out of scope.
struct Descriptor
{
    int fd;
    ~Descriptor()
    {
        if (fd >= 0) ::close(fd);
    }
};

std::vector<QByteArray> entries(const QByteArray& folder)
{
    DIR* dir = ::opendir(folder.constData());
    check(dir != nullptr);
    std::vector<QByteArray> names;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

void copyTimes(const QByteArray& path, const struct stat& st, int flags)
{
    const timespec times[2] = {st.st_atim, st.st_mtim};
    check(::utimensat(AT_FDCWD, path.constData(), times, flags) == 0);
}

void copyFile(const QByteArray& from, const QByteArray& to, const struct stat& st)
{
    const Descriptor in{::open(from.constData(), O_RDONLY | O_CLOEXEC)};
    check(in.fd >= 0);
    const Descriptor out{::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600)};
    check(out.fd >= 0);
    std::vector<char> buffer(chunk);
    for (;;) {
        const ssize_t n = ::read(in.fd, buffer.data(), buffer.size());
        check(n >= 0);
        if (n == 0) break;
        for (ssize_t written = 0; written < n;) {
            const ssize_t w = ::write(out.fd, buffer.data() + written, size_t(n - written));
            check(w > 0);
            written += w;
        }
    }
    check(::fchmod(out.fd, st.st_mode & 07777) == 0);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    check(::futimens(out.fd, times) == 0);
    check(::fsync(out.fd) == 0);
}

QByteArray readLink(const QByteArray& path)
{
    QByteArray target(PATH_MAX, '\0');
    const ssize_t n = ::readlink(path.constData(), target.data(), size_t(target.size()));
    check(n >= 0 && n < target.size());
    target.truncate(n);
    return target;
}

// Copies an item with its contents, modes and times; links are copied as links.
void copyTree(const QByteArray& from, const QByteArray& to)
{
    struct stat st;
    check(::lstat(from.constData(), &st) == 0);
    if (S_ISREG(st.st_mode)) {
        copyFile(from, to, st);
    } else if (S_ISLNK(st.st_mode)) {
        check(::symlink(readLink(from).constData(), to.constData()) == 0);
        copyTimes(to, st, AT_SYMLINK_NOFOLLOW);
    } else if (S_ISDIR(st.st_mode)) {
        check(::mkdir(to.constData(), 0700) == 0);
        for (const QByteArray& name : entries(from))
            copyTree(from + '/' + name, to + '/' + name);
        check(::chmod(to.constData(), st.st_mode & 07777) == 0);
        copyTimes(to, st, 0);
    } else {
        throw SystemFailure{ENOTSUP}; // devices, pipes and sockets are not moved between disks
    }
}

bool sameBytes(const QByteArray& a, const QByteArray& b)
{
    const Descriptor x{::open(a.constData(), O_RDONLY | O_CLOEXEC)},
        y{::open(b.constData(), O_RDONLY | O_CLOEXEC)};
    if (x.fd < 0 || y.fd < 0) return false;
    std::vector<char> p(chunk), q(chunk);
    for (;;) {
        const ssize_t m = ::read(x.fd, p.data(), p.size());
        if (m < 0) return false;
        ssize_t n = 0;
        while (n < m) {
            const ssize_t r = ::read(y.fd, q.data() + n, size_t(m - n));
            if (r <= 0) return false;
            n += r;
        }
        if (m == 0) return ::read(y.fd, q.data(), 1) == 0;
        if (std::memcmp(p.data(), q.data(), size_t(m)) != 0) return false;
    }
}

// Whether the copy holds what the original holds: the same names, kinds, link targets and bytes.
bool sameTree(const QByteArray& original, const QByteArray& copy)
{
    struct stat a, b;
    if (::lstat(original.constData(), &a) != 0 || ::lstat(copy.constData(), &b) != 0) return false;
    if ((a.st_mode & S_IFMT) != (b.st_mode & S_IFMT)) return false;
    if (S_ISLNK(a.st_mode)) return readLink(original) == readLink(copy);
    if (S_ISREG(a.st_mode)) return a.st_size == b.st_size && sameBytes(original, copy);
    const std::vector<QByteArray> names = entries(original);
    if (names != entries(copy)) return false;
    for (const QByteArray& name : names)
        if (!sameTree(original + '/' + name, copy + '/' + name)) return false;
    return true;
}

void removeTree(const QString& path)
{
    if (QFileInfo(path).isDir() && !QFileInfo(path).isSymLink())
        QDir(path).removeRecursively();
    else
        ::unlink(encoded(path).constData());
}

// Renames `from` to the first free name in `folder`, never replacing anything. Returns the new
// path, or none with `error` set when the rename itself is impossible (EXDEV, EINVAL, …).
std::optional<QString> renameNoReplace(const QString& from, const QString& folder, const QString& base,
                                       const std::optional<QString>& ext, int& error)
{
    for (int attempt = 0; attempt < maxAttempts; ++attempt) {
        const QString target = Output::unique(folder, base, ext);
        if (::renameat2(AT_FDCWD, encoded(from).constData(), AT_FDCWD, encoded(target).constData(),
                        RENAME_NOREPLACE) == 0)
            return target;
        error = errno;
        if (error != EEXIST) return std::nullopt; // else another item took the name meanwhile
    }
    return std::nullopt;
}

// The copy route: a hidden copy in the destination folder, checked, put in place, and only then
// the original removed.
QString copyAcross(const QString& source, const QString& folder, const QString& base,
                   const std::optional<QString>& ext)
{
    const QString staging = QDir(folder).filePath(
        QStringLiteral(".tolvane-") + QUuid::createUuid().toString(QUuid::WithoutBraces).left(8).toUpper());
    QString placed;
    try {
        copyTree(encoded(source), encoded(staging));
        if (!sameTree(encoded(source), encoded(staging))) throw SystemFailure{EIO};
        int error = 0;
        if (const std::optional<QString> target = renameNoReplace(staging, folder, base, ext, error))
            placed = *target;
        else if (error == EINVAL || error == ENOSYS) // no no-replace rename here: Output has the fallbacks
            placed = Output::commit(staging, Output::unique(folder, base, ext));
        else
            throw SystemFailure{error};
    } catch (...) {
        removeTree(staging);
        throw;
    }
    removeTree(source);
    if (QFileInfo::exists(source) || QFileInfo(source).isSymLink())
        throw ConvertError::failed(
            QStringLiteral("“%1” was copied to %2, but the original couldn’t be removed")
                .arg(QFileInfo(source).fileName(), folder));
    return placed;
}

} // namespace

namespace FileMove {

std::pair<QString, std::optional<QString>> splitName(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || dot == name.size() - 1) return {name, std::nullopt};
    return {name.left(dot), name.mid(dot + 1)};
}

QString moveInto(const QString& source, const QString& folder)
{
    const QString path = QDir::cleanPath(source);
    const QFileInfo info(path);
    const QString name = info.fileName();
    const auto [base, ext] = splitName(name);
    try {
        struct stat st;
        check(::lstat(encoded(path).constData(), &st) == 0);
        const QString into = QFileInfo(folder).canonicalFilePath();
        if (!into.isEmpty() && QFileInfo(info.absolutePath()).canonicalFilePath() == into) return path;
        const QString itself = info.canonicalFilePath();
        if (S_ISDIR(st.st_mode) && !into.isEmpty() &&
            (into == itself || into.startsWith(itself + QLatin1Char('/'))))
            throw ConvertError::failed(QStringLiteral("Couldn’t move “%1” into itself").arg(name));
        int error = 0;
        if (const auto target = renameNoReplace(path, folder, base, ext, error)) return *target;
        if (error != EXDEV && error != EINVAL && error != ENOSYS) throw SystemFailure{error};
        return copyAcross(path, folder, base, ext);
    } catch (const SystemFailure& failure) {
        throw ConvertError::failed(QStringLiteral("Couldn’t move “%1”: %2").arg(name, reason(failure.error)));
    }
}

} // namespace FileMove
