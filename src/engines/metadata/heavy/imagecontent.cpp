#include "engines/metadata/heavy/imagecontent.h"

#include <QFile>
#include <QSet>
#include <QtEndian>

namespace {

// The major brand and the compatible brands of an ISO-BMFF file type box at the start of
// `head`; empty when there is none.
QList<QByteArray> brands(const QByteArray& head)
{
    if (head.size() < 16 || head.mid(4, 4) != "ftyp") return {};
    const qsizetype size = qFromBigEndian<quint32>(head.constData());
    if (size < 16) return {};
    QList<QByteArray> out{head.mid(8, 4)};
    for (qsizetype at = 16; at + 4 <= std::min(size, head.size()); at += 4)
        out << head.mid(at, 4);
    return out;
}

std::optional<QString> heifFormat(const QByteArray& head)
{
    static const QSet<QByteArray> av1{"avif", "avis"};
    static const QSet<QByteArray> hevc{"heic", "heix", "heim", "heis", "hevc", "hevx"};
    static const QSet<QByteArray> heif{"mif1", "msf1", "mif2", "miaf"};
    const QList<QByteArray> all = brands(head);
    if (all.isEmpty()) return std::nullopt;
    // The major brand decides when it names a codec; a plain HEIF major brand leaves it to the
    // compatible brands.
    if (av1.contains(all[0])) return QStringLiteral("avif");
    if (hevc.contains(all[0])) return QStringLiteral("heic");
    if (!heif.contains(all[0])) return std::nullopt;
    for (const QByteArray& b : all)
        if (av1.contains(b)) return QStringLiteral("avif");
    return QStringLiteral("heic");
}

} // namespace

namespace ImageContent {

std::optional<QString> format(const QByteArray& head)
{
    if (head.startsWith("\xFF\xD8\xFF")) return QStringLiteral("jpg");
    if (head.startsWith("\x89PNG\r\n\x1A\n")) return QStringLiteral("png");
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a")) return QStringLiteral("gif");
    if (head.startsWith("BM") && head.size() >= 14) return QStringLiteral("bmp");
    if (head.startsWith(QByteArray("II*\0", 4)) || head.startsWith(QByteArray("MM\0*", 4)))
        return QStringLiteral("tiff");
    if (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP") return QStringLiteral("webp");
    return heifFormat(head);
}

std::optional<QString> formatOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return format(file.read(256));
}

bool isHeif(const QString& format)
{
    return format == QLatin1String("heic") || format == QLatin1String("avif");
}

} // namespace ImageContent
