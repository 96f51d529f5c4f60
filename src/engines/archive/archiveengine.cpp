#include "engines/archive/archiveengine.h"

#include "core/archive/safeextract.h"
#include "core/catalog.h"
#include "core/converterror.h"
#include "core/inputcheck.h"
#include "core/job.h"
#include "core/output.h"
#include "core/shell.h"
#include "core/stagingfolder.h"
#include "engines/archive/archivecopy.h"
#include "engines/archive/gzip.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

namespace {

constexpr auto everything = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

bool isRealFolder(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Removes a working item when the work ends, unless it was handed on.
class Removal
{
  public:
    explicit Removal(QString path) : m_path(std::move(path)) {}
    ~Removal()
    {
        if (m_path.isEmpty()) return;
        if (isRealFolder(m_path))
            QDir(m_path).removeRecursively();
        else
            QFile::remove(m_path);
    }
    Removal(const Removal&) = delete;
    Removal& operator=(const Removal&) = delete;
    void release() { m_path.clear(); }

  private:
    QString m_path;
};

// Zips made on a Mac carry resource forks in a "__MACOSX" folder beside the real content.
void removeResourceForks(const QString& folder)
{
    const QString forks = folder + QStringLiteral("/__MACOSX");
    if (isRealFolder(forks)) QDir(forks).removeRecursively();
}

void unpack(const QString& archive, const QString& format, const QString& folder)
{
    extractSafely(archive, folder);
    if (format == QLatin1String("zip")) removeResourceForks(folder);
}

bool isPackFormat(const QString& format)
{
    return format == QLatin1String("zip") || format == QLatin1String("tar") || format == QLatin1String("gz");
}

QString program(const QString& name)
{
    return Shell::find(name).value_or(QStringLiteral("/usr/bin/") + name);
}

void run(const QString& name, const QStringList& args, const QString& cwd)
{
    const QString path = program(name);
    const Shell::Result result = Shell::run(path, args, cwd);
    if (result.status != 0) throw ConvertError::failed(Shell::failureText(path, result));
}

// The end record of a zip with no entries; the zip program refuses to write one.
void writeEmptyZip(const QString& output)
{
    Output::writeFile(output, QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0'));
}

} // namespace

namespace ArchiveEngine {

ScratchFolder extract(const QString& archive, const QString& format)
{
    ScratchFolder folder;
    unpack(archive, format, folder.path());
    return folder;
}

void pack(const QString& folder, const QString& output, const QString& format)
{
    if (!isPackFormat(format))
        throw ConvertError::unsupported(QStringLiteral("Can’t write %1 archives").arg(format.toUpper()));
    // Names come from an archive someone else made: after "--" (and "./" for zip, which strips it)
    // a name like "-x" never reads as an option.
    const QStringList names = QDir(folder).entryList(everything, QDir::Name);
    const QString out = QFileInfo(output).absoluteFilePath();

    if (format == QLatin1String("zip")) {
        if (names.isEmpty()) return writeEmptyZip(out);
        QStringList dotted = names;
        for (QString& name : dotted)
            name.prepend(QStringLiteral("./"));
        // -nw: a name holding "*" or "[" is a name, not a pattern; -b: zip's temporary files stay
        // out of the user's folder.
        const ScratchFolder temporaries;
        return run(QStringLiteral("zip"),
                   QStringList{"-b", temporaries.path(), "-r", "-y", "-q", "-X", "-nw", out, "--"} + dotted,
                   folder);
    }
    const bool gz = format == QLatin1String("gz");
    const QString tarPath = gz ? Output::temporaryPath(out + QStringLiteral(".tar")) : out;
    Removal tarRemoval(gz ? tarPath : QString());
    const QStringList entries = names.isEmpty() ? QStringList{"-T", "/dev/null"} : QStringList{"--"} + names;
    run(QStringLiteral("tar"), QStringList{"-cf", tarPath} + entries, folder);
    if (gz) Gzip::compressFile(tarPath, out);
}

QStringList extractTool(const QString& archive)
{
    InputCheck::refuseGone(archive);
    InputCheck::refuseSpecial(archive);
    const std::optional<QString> format = Catalog::format(archive);
    if (!format || Catalog::category(*format) != FileCategory::archive)
        throw ConvertError::failed(QStringLiteral("Not an archive"));
    const QString destination = Output::result(archive, QStringLiteral(" Extracted"), std::nullopt);

    // Unpacked beside the destination, so that every later move is a rename on one file system.
    StagingFolder work(destination);
    unpack(archive, *format, work.path());

    const QStringList entries = QDir(work.path()).entryList(everything);
    // A link to a folder is not the archive's own top folder.
    const bool unwrap = entries.size() == 1 && isRealFolder(QDir(work.path()).filePath(entries.first()));
    const QString committed =
        unwrap ? Output::commit(QDir(work.path()).filePath(entries.first()), destination, true)
               : work.commit();
    return {committed};
}

QStringList convert(const QString& archive, const QString& to, Job& job, const Progress&)
{
    const std::optional<QString> format = Catalog::format(archive);
    if (!format || Catalog::category(*format) != FileCategory::archive)
        throw ConvertError::failed(QStringLiteral("Not an archive"));
    const QString& from = *format;
    if (!isPackFormat(to))
        throw ConvertError::unsupported(QStringLiteral("Can’t write %1 archives").arg(to.toUpper()));
    const QString ext = to == QLatin1String("gz") ? QStringLiteral("tar.gz") : to;
    const QString destination = Output::result(archive, {}, ext);
    return {Output::write(
        destination,
        [&](const QString& temporary) {
            try {
                ArchiveCopy::convert(archive, from, temporary, to, job);
            } catch (const ArchiveCopy::NeedsUnpacking&) {
                QFile::remove(temporary);
                const ScratchFolder unpacked = extract(archive, from);
                job.throwIfCancelled();
                pack(unpacked.path(), temporary, to);
            }
        },
        &job)};
}

} // namespace ArchiveEngine
