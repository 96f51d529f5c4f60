#include "core/officecopy.h"

#include "core/converterror.h"
#include "core/officelinks.h"
#include "core/officepicture.h"
#include "core/output.h"
#include "core/saferead.h"
#include "core/zip.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QXmlStreamReader>

namespace {

// A document is repacked in memory; this bounds what unpacking it may take.
const ExtractLimits documentLimits{qint64(1) << 30, 100000};

// The part that holds the document's body: the one the package's relationships name as the
// office document, or else OpenDocument's content.
QString bodyPart(const QMap<QString, QByteArray>& parts)
{
    QXmlStreamReader reader(parts.value(QStringLiteral("_rels/.rels")));
    reader.setNamespaceProcessing(false);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement) continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        if (reader.name() == QLatin1String("Relationship") &&
            attributes.value(QLatin1String("Type")).endsWith(QLatin1String("/officeDocument"))) {
            QString target = QDir::cleanPath(attributes.value(QLatin1String("Target")).toString());
            while (target.startsWith(QLatin1Char('/')))
                target.remove(0, 1);
            return target;
        }
    }
    return QStringLiteral("content.xml");
}

bool isMarkup(const QString& name)
{
    for (const char* suffix : {".xml", ".rels", ".vml"})
        if (name.endsWith(QLatin1String(suffix), Qt::CaseInsensitive)) return true;
    return false;
}

struct Package
{
    QString document, body;
    bool encrypted;
};

// The part with its links outside the package left out. A part that can't be read (an empty one
// among them) is emptied: left as it is, a suite that reads what it can of it might follow its
// links. Only a body that can't be read leaves no document; Visual Markup parts, often not
// well-formed, and encrypted parts, which open only with a password, are kept as they are.
QByteArray cleanedPart(const QString& name, const QByteArray& bytes, const Package& package)
{
    const std::optional<QByteArray> cleaned = name.endsWith(QLatin1String(".rels"), Qt::CaseInsensitive)
                                                  ? OfficeLinks::relationships(bytes, name)
                                                  : OfficeLinks::part(bytes, name);
    if (cleaned) return *cleaned;
    if (package.encrypted || name.endsWith(QLatin1String(".vml"), Qt::CaseInsensitive)) return bytes;
    if (name == package.body)
        throw ConvertError::failed(
            QStringLiteral("%1 is damaged: its part “%2” can’t be read").arg(package.document, name));
    return {};
}

void repack(const QString& input, const QString& copy)
{
    QMap<QString, QByteArray> parts = readSafely(input, documentLimits);
    const std::optional<QString> mimetype =
        parts.contains(QStringLiteral("mimetype"))
            ? std::optional(QString::fromUtf8(parts.take(QStringLiteral("mimetype"))))
            : std::nullopt;
    const Package package{QFileInfo(input).fileName(), bodyPart(parts),
                          parts.value(QStringLiteral("META-INF/manifest.xml")).contains("encryption-data")};
    for (auto part = parts.begin(); part != parts.end(); ++part)
        if (isMarkup(part.key()))
            part.value() = cleanedPart(part.key(), part.value(), package);
        else if (!package.encrypted)
            part.value() = OfficePicture::confined(part.value());
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
