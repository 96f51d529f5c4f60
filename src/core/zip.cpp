#include "core/zip.h"

#include "core/converterror.h"
#include "core/output.h"
#include "core/shell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>
#include <algorithm>

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
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        throw ConvertError::failed(QStringLiteral("Couldn’t write %1: %2").arg(path, file.errorString()));
}

void runZip(const QStringList& args, const QString& folder)
{
    const QString zip = Shell::find(QStringLiteral("zip")).value_or(QStringLiteral("/usr/bin/zip"));
    const Shell::Result result = Shell::run(zip, args, folder);
    if (result.status != 0) throw ConvertError::failed(Shell::failureText(zip, result));
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

    const ScratchFolder scratch;
    const QString& folder = scratch.path();
    for (auto it = parts.begin(); it != parts.end(); ++it)
        writeFile(folder + QLatin1Char('/') + it.key(), it.value());

    // zip runs in the scratch folder, so the output must not be relative to ours.
    const QString output = QFileInfo(outputPath).absoluteFilePath();
    const QFileInfo existing(output);
    if (existing.isSymLink() || !existing.isDir()) QFile::remove(output);

    if (!mimetype) {
        runZip({"-X", "-r", "-9", "-q", output, "."}, folder);
        return;
    }
    writeFile(folder + QStringLiteral("/mimetype"), mimetype->toUtf8());
    runZip({"-X", "-0", "-q", output, "mimetype"}, folder);
    const QStringList names = topLevelNames(parts, true);
    if (!names.isEmpty()) runZip(QStringList{"-X", "-r", "-9", "-q", output} + names, folder);
}

ScratchFolder extract(const QString& archivePath, const ExtractLimits& limits)
{
    ScratchFolder folder;
    extractSafely(archivePath, folder.path(), limits);
    return folder;
}

} // namespace Zip
