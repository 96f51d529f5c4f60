#include "core/archive/archivenames.h"

#include "core/archive/libarchive.h"

#include <QFile>
#include <QRegularExpression>

namespace ArchiveNames {

Components split(const QByteArray& path)
{
    Components parts;
    for (const QByteArray& part : path.split('/'))
        if (!part.isEmpty() && part != ".") parts.append(part);
    return parts;
}

QByteArray entryText(const char* local, const char* utf8)
{
    return local ? QByteArray(local) : QByteArray(utf8);
}

std::optional<QString> escapes(const QByteArray& name, const Components& parts)
{
    const QString shown = QFile::decodeName(name);
    if (name.startsWith('/')) return QStringLiteral("“%1” has an absolute path").arg(shown);
    if (parts.contains("..")) return QStringLiteral("“%1” leads outside the folder").arg(shown);
    return std::nullopt;
}

QString errorText(archive* a)
{
    const char* text = LibArchive::get().errorString(a);
    if (!text) return QStringLiteral("the archive can’t be read");
    const QString said = QString::fromLocal8Bit(text);
    // libarchive names the codec or the record where data end early or fail to inflate ("ZIP
    // decompression failed (-5)", "Truncated tar archive"): to the user it is one thing.
    static const QRegularExpression damage(
        QStringLiteral("truncat|decompression failed|damaged|corrupt|premature end|\\bcrc\\b|checksum error|"
                       "compressed data"),
        QRegularExpression::CaseInsensitiveOption);
    return said.contains(damage) ? QStringLiteral("the file is damaged or cut short") : said;
}

ConvertError unpackFailure(const QString& archive, const QString& reason)
{
    return ConvertError::failed(QStringLiteral("Couldn’t unpack %1: %2").arg(archive, reason));
}

} // namespace ArchiveNames
