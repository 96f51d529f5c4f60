#include "core/zip.h"

#include "core/checkedfile.h"
#include "core/converterror.h"
#include "core/output.h"
#include "core/zipwriter.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <unistd.h>

namespace Zip {

void write(const QMap<QString, QByteArray>& parts, const QString& outputPath,
           const std::optional<QString>& mimetype)
{
    QStringList names;
    for (auto it = parts.keyBegin(); it != parts.keyEnd(); ++it)
        // A given mimetype stands for the part of that name.
        if (!mimetype || *it != QLatin1String("mimetype")) names.append(*it);
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.toUcs4() < b.toUcs4(); });

    const QString output = QFileInfo(outputPath).absoluteFilePath();
    const QFileInfo existing(output);
    if (existing.isSymLink() || !existing.isDir()) QFile::remove(output);
    const QByteArray encoded = QFile::encodeName(output);
    try {
        CheckedFile file(output, CheckedFile::Existing::refuse);
        try {
            ZipWriter archive(file);
            if (mimetype) archive.add(QStringLiteral("mimetype"), mimetype->toUtf8(), false);
            for (const QString& name : names)
                archive.add(name, parts.value(name), true);
            archive.finish();
        } catch (...) {
            ::unlink(encoded.constData());
            throw;
        }
    } catch (const ConvertError& e) {
        throw Output::explained(e, QFileInfo(output).path());
    }
}

ScratchFolder extract(const QString& archivePath, const ExtractLimits& limits)
{
    ScratchFolder folder;
    extractSafely(archivePath, folder.path(), limits);
    return folder;
}

} // namespace Zip
