#include "core/output.h"

#include "core/converterror.h"

#include <QDir>
#include <QFile>
#include <QUuid>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A commit that loses the race for a name this many times in a row gives up.
constexpr int maxCommitAttempts = 1000;

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

// lstat, so that a dangling link also counts as a taken name.
bool exists(const QString& path)
{
    struct stat st;
    return ::lstat(encoded(path).constData(), &st) == 0;
}

bool isDirectory(const QString& path)
{
    struct stat st;
    return ::lstat(encoded(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QString withoutTrailingSlashes(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

QString folderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

QString fileNameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// The index of the dot before the last extension, or -1. A leading dot starts a hidden
// name, not an extension.
qsizetype extensionDot(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 && dot < name.size() - 1 ? dot : -1;
}

QString joined(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// Moves `from` to `to` without ever replacing an item at `to`. Returns 0 or an errno value;
// EEXIST means the name was taken.
int moveNoReplace(const QString& from, const QString& to)
{
    const QByteArray src = encoded(from), dst = encoded(to);
    if (::renameat2(AT_FDCWD, src.constData(), AT_FDCWD, dst.constData(), RENAME_NOREPLACE) == 0) return 0;
    const int error = errno;
    if (error != EINVAL && error != ENOSYS) return error;

    // The file system has no no-replace rename. A file is linked under the new name, which
    // fails when the name is taken, then unlinked from the old one.
    if (!isDirectory(from)) {
        if (::link(src.constData(), dst.constData()) != 0) return errno;
        ::unlink(src.constData());
        return 0;
    }
    // A folder cannot be linked: claim the name with an empty folder of our own, which a
    // plain rename may then replace (it refuses once anything has been put inside).
    if (::mkdir(dst.constData(), 0700) != 0) return errno;
    if (::rename(src.constData(), dst.constData()) != 0) {
        const int renameError = errno;
        ::rmdir(dst.constData());
        // Something was put into the claimed folder meanwhile: it is someone else's now.
        return renameError == ENOTEMPTY ? EEXIST : renameError;
    }
    return 0;
}

} // namespace

namespace Output {

QString unique(const QString& folder, const QString& base, const std::optional<QString>& ext)
{
    const auto candidate = [&](const QString& stem) {
        return joined(folder, ext ? stem + QLatin1Char('.') + *ext : stem);
    };
    QString path = candidate(base);
    for (qint64 n = 2; exists(path); ++n)
        path = candidate(base + QLatin1Char(' ') + QString::number(n));
    return path;
}

QString temporaryPath(const QString& destination)
{
    const QString dest = withoutTrailingSlashes(destination);
    const QString name = fileNameOf(dest);
    const qsizetype dot = extensionDot(name);
    QString temporary =
        QStringLiteral(".tolvane-") + QUuid::createUuid().toString(QUuid::WithoutBraces).left(8).toUpper();
    if (dot >= 0) temporary += name.mid(dot);
    return joined(folderOf(dest), temporary);
}

QString write(const QString& destination, const std::function<void(const QString& temporary)>& producer)
{
    const QString temporary = temporaryPath(destination);
    try {
        producer(temporary);
        return commit(temporary, destination);
    } catch (...) {
        if (isDirectory(temporary))
            QDir(temporary).removeRecursively();
        else
            ::unlink(encoded(temporary).constData());
        throw;
    }
}

QString commit(const QString& temporary, const QString& destination, bool destinationIsFolder)
{
    if (!exists(temporary)) throw ConvertError::failed(QStringLiteral("Nothing was written"));

    // A folder result is named like a folder whatever its destination looks like.
    const bool folder =
        destinationIsFolder || destination.endsWith(QLatin1Char('/')) || isDirectory(temporary);
    const QString dest = withoutTrailingSlashes(destination);
    const QString name = fileNameOf(dest);
    QString base = name;
    std::optional<QString> ext;
    if (!folder) {
        if (name.toLower().endsWith(QLatin1String(".tar.gz")) && name.size() > 7) {
            base = name.left(name.size() - 7);
            ext = name.right(6);
        } else if (const qsizetype dot = extensionDot(name); dot >= 0) {
            base = name.left(dot);
            ext = name.mid(dot + 1);
        }
    }

    // Another commit may take the free name between the look and the move; the loser moves
    // on to the next free name.
    QString target = exists(dest) ? unique(folderOf(dest), base, ext) : dest;
    for (int attempt = 0;; ++attempt) {
        const int error = moveNoReplace(temporary, target);
        if (error == 0) return target;
        if (error != EEXIST || attempt + 1 >= maxCommitAttempts)
            throw ConvertError::failed(QStringLiteral("Couldn’t save %1: %2").arg(name, systemError(error)));
        target = unique(folderOf(dest), base, ext);
    }
}

QString scratch()
{
    const QString temp = QDir::tempPath();
    QDir().mkpath(temp);
    const QString path = joined(temp, QStringLiteral("tolvane-") +
                                          QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    if (::mkdir(encoded(path).constData(), 0700) != 0)
        throw ConvertError::failed(
            QStringLiteral("Couldn’t create a temporary folder: %1").arg(systemError(errno)));
    return path;
}

QString baseName(const QString& path)
{
    const QString name = fileNameOf(withoutTrailingSlashes(path));
    const QString lower = name.toLower();
    if (lower.endsWith(QLatin1String(".tar.gz"))) return name.left(name.size() - 7);
    if (lower.endsWith(QLatin1String(".tgz"))) return name.left(name.size() - 4);
    const qsizetype dot = extensionDot(name);
    return dot >= 0 ? name.left(dot) : name;
}

} // namespace Output
