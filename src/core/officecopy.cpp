#include "core/officecopy.h"

#include "core/converterror.h"
#include "core/officelinks.h"
#include "core/output.h"
#include "core/textfile.h"
#include "core/zip.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>

namespace {

// A document is repacked in memory; this bounds what unpacking it may take.
const ExtractLimits documentLimits{qint64(1) << 30, 100000};

// The part with its links outside the package left out; Visual Markup parts, often not
// well-formed, are kept as they are when they can't be read.
QByteArray cleanedPart(const QString& name, const QByteArray& bytes, bool encrypted, const QString& document)
{
    std::optional<QByteArray> cleaned;
    const bool rels = name.endsWith(QLatin1String(".rels"), Qt::CaseInsensitive);
    if (rels)
        cleaned = OfficeLinks::relationships(bytes, name);
    else
        cleaned = OfficeLinks::part(bytes, name);
    if (cleaned) return *cleaned;
    // An encrypted part opens only with a password, which no conversion has.
    if (encrypted || name.endsWith(QLatin1String(".vml"), Qt::CaseInsensitive)) return bytes;
    throw ConvertError::failed(
        QStringLiteral("%1 is damaged: its part “%2” can’t be read").arg(document, name));
}

bool isMarkup(const QString& name)
{
    for (const char* suffix : {".xml", ".rels", ".vml"})
        if (name.endsWith(QLatin1String(suffix), Qt::CaseInsensitive)) return true;
    return false;
}

void repack(const QString& input, const QString& copy)
{
    const QString document = QFileInfo(input).fileName();
    const ScratchFolder unpacked = Zip::extract(input, documentLimits);
    QMap<QString, QByteArray> parts;
    QDirIterator it(unpacked.path(), QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        parts.insert(path.mid(unpacked.path().size() + 1), TextFile::bytes(path));
    }
    const std::optional<QString> mimetype =
        parts.contains(QStringLiteral("mimetype"))
            ? std::optional(QString::fromUtf8(parts.take(QStringLiteral("mimetype"))))
            : std::nullopt;
    const bool encrypted = parts.value(QStringLiteral("META-INF/manifest.xml")).contains("encryption-data");
    for (auto part = parts.begin(); part != parts.end(); ++part)
        if (isMarkup(part.key())) part.value() = cleanedPart(part.key(), part.value(), encrypted, document);
    Zip::write(parts, copy, mimetype);
}

} // namespace

namespace OfficeCopy {

QString make(const QString& input, const QString& folder)
{
    const QFileInfo info(input);
    if (info.isDir()) return info.absoluteFilePath();
    const QString copy = folder + QLatin1Char('/') + info.fileName();
    QFile file(input);
    if (!file.open(QIODevice::ReadOnly))
        throw ConvertError::failed(
            QStringLiteral("Couldn’t read “%1”: %2").arg(info.fileName(), file.errorString()));
    const QByteArray head = file.peek(8);
    if (head.startsWith("PK\x03\x04")) {
        repack(input, copy);
    } else if (head.startsWith("{\\rtf")) {
        Output::writeFile(copy, OfficeLinks::rtf(file.readAll()));
    } else if (!file.copy(copy)) {
        throw ConvertError::failed(
            QStringLiteral("Couldn’t write a private copy of the document: %1").arg(file.errorString()));
    }
    return copy;
}

} // namespace OfficeCopy
