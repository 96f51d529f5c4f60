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

QByteArray fromCodePage437(const QByteArray& name)
{
    static constexpr char16_t high[128] = {
        0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
        0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
        0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
        0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
        0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
        0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
        0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
        0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
        0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
        0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
        0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
    };
    QString text;
    text.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        text += QChar(byte < 0x80 ? char16_t(byte) : high[byte - 0x80]);
    }
    return text.toUtf8();
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
