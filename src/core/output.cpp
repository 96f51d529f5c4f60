#include "core/output.h"

#include "core/checkedfile.h"
#include "core/converterror.h"
#include "core/job.h"
#include "core/settings.h"

#include <QDir>
#include <QFile>
#include <QTextBoundaryFinder>
#include <QUuid>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <optional>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
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

// A folder on a memory file system where this user may make folders, unless TMPDIR says where
// temporary files go.
std::optional<QString> memoryFolder()
{
    if (!qEnvironmentVariableIsEmpty("TMPDIR")) return std::nullopt;
    for (const QString& candidate : {qEnvironmentVariable("XDG_RUNTIME_DIR"), QStringLiteral("/dev/shm")}) {
        struct statfs fs;
        if (candidate.isEmpty() || ::statfs(encoded(candidate).constData(), &fs) != 0 ||
            fs.f_type != TMPFS_MAGIC || ::access(encoded(candidate).constData(), W_OK | X_OK) != 0)
            continue;
        return candidate;
    }
    return std::nullopt;
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

// The longest file name, in bytes, that the file system of `folder` takes.
qsizetype nameMax(const QString& folder)
{
    const long max = ::pathconf(encoded(folder).constData(), _PC_NAME_MAX);
    return max > 0 ? qsizetype(max) : NAME_MAX;
}

// `stem` cut after a whole character (a grapheme, so an accent or an emoji modifier stays
// with its letter) so that stem + tail takes at most `limit` bytes of UTF-8, without spaces
// left at the cut. A stem that cannot keep even one character is left whole, for the file
// system to refuse: an empty one would hide the file or lose its name.
QString fitted(const QString& stem, const QString& tail, qsizetype limit)
{
    const qsizetype room = limit - tail.toUtf8().size();
    if (stem.toUtf8().size() <= room) return stem;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, stem);
    qsizetype cut = 0, bytes = 0;
    for (qsizetype next = characters.toNextBoundary(); next > 0; next = characters.toNextBoundary()) {
        bytes += QStringView(stem).sliced(cut, next - cut).toUtf8().size();
        if (bytes > room) break;
        cut = next;
    }
    while (cut > 0 && stem.at(cut - 1).isSpace())
        --cut;
    return cut > 0 ? stem.left(cut) : stem;
}

// A file name as its base and extension: a folder's whole name is its base; ".tar.gz" counts
// as one extension.
std::pair<QString, std::optional<QString>> split(const QString& name, bool folder)
{
    if (folder) return {name, std::nullopt};
    if (name.toLower().endsWith(QLatin1String(".tar.gz")) && name.size() > 7)
        return {name.left(name.size() - 7), name.right(6)};
    if (const qsizetype dot = extensionDot(name); dot >= 0) return {name.left(dot), name.mid(dot + 1)};
    return {name, std::nullopt};
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

// The first free "base suffix number.ext" in `folder`, the base cut to fit.
QString firstFree(const QString& folder, const QString& base, const QString& suffix,
                  const std::optional<QString>& ext)
{
    const qsizetype limit = nameMax(folder);
    const auto candidate = [&](const QString& number) {
        const QString tail = ext ? suffix + number + QLatin1Char('.') + *ext : suffix + number;
        return joined(folder, fitted(base, tail, limit) + tail);
    };
    QString path = candidate(QString());
    for (qint64 n = 2; exists(path); ++n)
        path = candidate(QLatin1Char(' ') + QString::number(n));
    return path;
}

} // namespace

namespace Output {

QString unique(const QString& folder, const QString& base, const std::optional<QString>& ext)
{
    return firstFree(folder, base, QString(), ext);
}

QString result(const QString& source, const QString& suffix, const std::optional<QString>& ext)
{
    return firstFree(Settings::shared().outputDirectory(source), baseName(source), suffix, ext);
}

namespace {
const QLatin1String temporaryPrefix(".tolvane-");
}

bool isTemporary(const QString& path)
{
    return fileNameOf(withoutTrailingSlashes(path)).startsWith(temporaryPrefix);
}

QString temporaryPath(const QString& destination)
{
    const QString dest = withoutTrailingSlashes(destination);
    const QString name = fileNameOf(dest);
    const qsizetype dot = extensionDot(name);
    QString temporary =
        temporaryPrefix + QUuid::createUuid().toString(QUuid::WithoutBraces).left(8).toUpper();
    if (dot >= 0) temporary += name.mid(dot);
    return joined(folderOf(dest), temporary);
}

namespace {

// Below this much free room, a failed write is taken for a full disk: a write that runs out of
// space first fills what was left.
constexpr qint64 fullDiskRoom = 64 * 1024;

// The errno that explains why writing into `folder` fails, or 0 when it looks writable.
int folderProblem(const QString& folder)
{
    const QByteArray path = encoded(folder);
    if (::access(path.constData(), W_OK) != 0) return errno;
    struct statvfs fs;
    if (::statvfs(path.constData(), &fs) == 0 && qint64(fs.f_bavail) * qint64(fs.f_frsize) < fullDiskRoom)
        return ENOSPC;
    return 0;
}

void removeItem(const QString& path)
{
    if (isDirectory(path))
        QDir(path).removeRecursively();
    else
        ::unlink(encoded(path).constData());
}

} // namespace

QString write(const QString& destination, const std::function<void(const QString& temporary)>& producer,
              const Job* job)
{
    const QString temporary = temporaryPath(destination);
    const QString folder = folderOf(temporary);
    if (::access(encoded(folder).constData(), W_OK) != 0) throw writeFailure(errno);
    try {
        producer(temporary);
        if (job) job->throwIfCancelled();
        return commit(temporary, destination);
    } catch (const ConvertError& e) {
        // Looked at before the temporary item goes, while it still takes the room it filled.
        const ConvertError failure = explained(e, folder);
        removeItem(temporary);
        throw failure;
    } catch (...) {
        removeItem(temporary);
        throw;
    }
}

ConvertError writeFailure(int error, const QString& details)
{
    const auto failure = [&](const QString& message) { return ConvertError::failed(message, details); };
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return failure(QStringLiteral("The disk is full"));
    case EFBIG:
        return failure(QStringLiteral("The result is too large for this disk"));
    case EACCES:
    case EPERM:
    case EROFS:
        return failure(QStringLiteral("Tolvane isn’t allowed to write the result in this folder"));
    case ENOENT:
    case ENOTDIR:
        return failure(QStringLiteral("The folder for the result is no longer there"));
    default:
        return failure(QStringLiteral("Couldn’t write the result: %1").arg(systemError(error)));
    }
}

ConvertError explained(const ConvertError& failure, const QString& folder)
{
    if (failure.kind() != ConvertError::Kind::failed) return failure;
    const int problem = folderProblem(folder);
    if (problem == 0) return failure;
    const ConvertError plain = writeFailure(problem);
    if (plain.message() == failure.message()) return failure;
    const QString words = failure.details().isEmpty() ? failure.message() : failure.details();
    return writeFailure(problem, words);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    CheckedFile file(path, CheckedFile::Existing::refuse);
    file.write(bytes);
    file.finish();
}

QString commit(const QString& temporary, const QString& destination, bool destinationIsFolder)
{
    if (!exists(temporary)) throw ConvertError::failed(QStringLiteral("Nothing was written"));

    // A folder result is named like a folder whatever its destination looks like.
    const bool folder =
        destinationIsFolder || destination.endsWith(QLatin1Char('/')) || isDirectory(temporary);
    const QString dest = withoutTrailingSlashes(destination);
    const QString name = fileNameOf(dest);
    const QString folderPath = folderOf(dest);
    const auto [base, ext] = split(name, folder);

    // A name made too long by a suffix is shortened here rather than refused after the work.
    QString target = unique(folderPath, base, ext);
    if (fileNameOf(target) == name) target = dest;
    for (int attempt = 0;; ++attempt) {
        const int error = moveNoReplace(temporary, target);
        if (error == 0) return target;
        if (error != EEXIST || attempt + 1 >= maxCommitAttempts)
            throw ConvertError::failed(QStringLiteral("Couldn’t save %1: %2").arg(name, systemError(error)));
        // Another commit took the free name between the look and the move.
        target = unique(folderPath, base, ext);
    }
}

QString scratch(ScratchPlace place)
{
    const QString temp =
        place == ScratchPlace::memory ? memoryFolder().value_or(QDir::tempPath()) : QDir::tempPath();
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
