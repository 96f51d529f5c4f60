#include "core/zip.h"

#include "core/checkedfile.h"
#include "core/converterror.h"
#include "core/output.h"
#include "core/shell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A part path must name a place inside the scratch folder, and "." would make zip add the
// whole folder a second time.
bool isPartPath(const QString& path)
{
    if (path.isEmpty() || path.startsWith(QLatin1Char('/'))) return false;
    const QStringList names = path.split(QLatin1Char('/'));
    return std::none_of(names.begin(), names.end(), [](const QString& name) {
        return name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..");
    });
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    const QString folder = QFileInfo(path).path();
    if (!QDir().mkpath(folder))
        throw ConvertError::failed(QStringLiteral("Couldn’t create the folder %1").arg(folder));
    Output::writeFile(path, bytes);
}

// zip keeps its temporary files in `temporaries`, never beside the archive.
void runZip(const QStringList& args, const QString& folder, const QString& temporaries)
{
    const QString zip = Shell::find(QStringLiteral("zip")).value_or(QStringLiteral("/usr/bin/zip"));
    const Shell::Result result = Shell::run(zip, QStringList{"-b", temporaries} + args, folder);
    if (result.status != 0)
        throw Output::explained(ConvertError::failed(Shell::failureText(zip, result)), temporaries);
}

// Moves the finished archive `built` to the new file `output`, copying it through a checked
// write when they are on different file systems; a failed copy leaves nothing at `output`.
void place(const QString& built, const QString& output)
{
    const QByteArray from = QFile::encodeName(built), to = QFile::encodeName(output);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) return;
    QFile in(built);
    if (!in.open(QIODevice::ReadOnly))
        throw ConvertError::failed(QStringLiteral("Couldn’t read the new archive: %1").arg(in.errorString()));
    try {
        CheckedFile out(output);
        try {
            while (!in.atEnd()) {
                const QByteArray chunk = in.read(1 << 20);
                if (chunk.isEmpty() && in.error() != QFileDevice::NoError)
                    throw ConvertError::failed(
                        QStringLiteral("Couldn’t read the new archive: %1").arg(in.errorString()));
                if (out.write(chunk) != chunk.size()) break;
            }
            out.finish();
        } catch (...) {
            ::unlink(to.constData());
            throw;
        }
    } catch (const ConvertError& e) {
        throw Output::explained(e, QFileInfo(output).path());
    }
}

// The distinct first components of the part paths in code-point order ("META-INF" before
// "content.xml"); a name starting with "-" is passed as "./-…" so zip doesn't read it as an option.
QStringList topLevelNames(const QMap<QString, QByteArray>& parts, bool hasMimetype)
{
    QSet<QString> seen;
    for (auto it = parts.keyBegin(); it != parts.keyEnd(); ++it)
        seen.insert(it->section(QLatin1Char('/'), 0, 0));
    // The mimetype entry is already in the archive and must stay stored.
    if (hasMimetype) seen.remove(QStringLiteral("mimetype"));
    QStringList names(seen.begin(), seen.end());
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.toUcs4() < b.toUcs4(); });
    for (QString& name : names)
        if (name.startsWith(QLatin1Char('-'))) name.prepend(QStringLiteral("./"));
    return names;
}

} // namespace

namespace Zip {

void write(const QMap<QString, QByteArray>& parts, const QString& outputPath,
           const std::optional<QString>& mimetype)
{
    for (auto it = parts.keyBegin(); it != parts.keyEnd(); ++it)
        if (!isPartPath(*it))
            throw ConvertError::failed(QStringLiteral("Can’t write the package part “%1”").arg(*it));

    // The archive is made whole in the scratch folder, beside the folder of its parts.
    const ScratchFolder scratch;
    const QString folder = scratch.file(QStringLiteral("parts"));
    const QString built = scratch.file(QStringLiteral("archive.zip"));
    for (auto it = parts.begin(); it != parts.end(); ++it)
        writeFile(folder + QLatin1Char('/') + it.key(), it.value());
    if (!QDir().mkpath(folder))
        throw ConvertError::failed(QStringLiteral("Couldn’t create the folder %1").arg(folder));

    if (!mimetype) {
        runZip({"-X", "-r", "-9", "-q", built, "."}, folder, scratch.path());
    } else {
        writeFile(folder + QStringLiteral("/mimetype"), mimetype->toUtf8());
        runZip({"-X", "-0", "-q", built, "mimetype"}, folder, scratch.path());
        const QStringList names = topLevelNames(parts, true);
        if (!names.isEmpty())
            runZip(QStringList{"-X", "-r", "-9", "-q", built} + names, folder, scratch.path());
    }

    const QString output = QFileInfo(outputPath).absoluteFilePath();
    const QFileInfo existing(output);
    if (existing.isSymLink() || !existing.isDir()) QFile::remove(output);
    place(built, output);
}

ScratchFolder extract(const QString& archivePath, const ExtractLimits& limits)
{
    ScratchFolder folder;
    extractSafely(archivePath, folder.path(), limits);
    return folder;
}

} // namespace Zip
