#include "engines/instant/pageimage.h"

#include "core/converterror.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtEndian>
#include <mutex>

namespace {

// Qt refuses pictures above 128 MB, which a 40-megapixel photo passes; 1 GB still stops a
// hostile header from asking for the whole memory.
constexpr int allocationLimitMB = 1024;
constexpr qsizetype headBytes = 64 * 1024;
constexpr double minDpi = 1, maxDpi = 100000;

quint32 be32(const QByteArray& bytes, qsizetype at)
{
    return qFromBigEndian<quint32>(bytes.constData() + at);
}

quint16 be16(const QByteArray& bytes, qsizetype at)
{
    return qFromBigEndian<quint16>(bytes.constData() + at);
}

std::optional<double> pngResolution(const QByteArray& head)
{
    for (qsizetype at = 8; at + 12 <= head.size();) {
        const quint32 length = be32(head, at);
        const QByteArray type = head.mid(at + 4, 4);
        if (type == "IDAT" || type == "IEND") break;
        if (type == "pHYs" && length == 9 && at + 17 <= head.size()) {
            const quint32 perMetre = be32(head, at + 8);
            if (quint8(head[at + 16]) != 1 || perMetre == 0) return std::nullopt;
            return perMetre * 0.0254;
        }
        if (length > quint32(head.size())) break;
        at += 12 + qsizetype(length);
    }
    return std::nullopt;
}

std::optional<double> jpegResolution(const QByteArray& head)
{
    for (qsizetype at = 2; at + 4 <= head.size();) {
        if (quint8(head[at]) != 0xFF) break;
        const quint8 marker = quint8(head[at + 1]);
        if (marker == 0xDA || marker == 0xD9) break; // the picture data starts: no more headers
        const quint16 length = be16(head, at + 2);
        if (marker == 0xE0 && length >= 14 && at + 16 <= head.size() &&
            head.mid(at + 4, 5) == QByteArray("JFIF\0", 5)) {
            const quint8 units = quint8(head[at + 11]);
            const quint16 density = be16(head, at + 12);
            if (density == 0 || (units != 1 && units != 2)) return std::nullopt;
            return units == 1 ? double(density) : density * 2.54;
        }
        at += 2 + length;
    }
    return std::nullopt;
}

} // namespace

std::optional<double> statedResolution(const QByteArray& head)
{
    if (head.startsWith("\x89PNG\r\n\x1a\n")) return pngResolution(head);
    if (head.startsWith("\xFF\xD8")) return jpegResolution(head);
    return std::nullopt;
}

PageImage PageImage::load(const QString& path)
{
    static std::once_flag raised;
    std::call_once(raised, [] {
        if (QImageReader::allocationLimit() < allocationLimitMB)
            QImageReader::setAllocationLimit(allocationLimitMB);
    });
    const QString name = QFileInfo(path).fileName();
    QImageReader reader(path);
    reader.setAutoTransform(true);
    PageImage page;
    if (!reader.read(&page.image) || page.image.isNull())
        throw ConvertError::failed(QStringLiteral("Couldn’t read %1 as an image").arg(name));

    QFile file(path);
    std::optional<double> dpi;
    if (file.open(QIODevice::ReadOnly)) dpi = statedResolution(file.read(headBytes));
    // Other formats: what Qt's reader took from the file, told apart from its own default.
    const int defaultDotsPerMetre = QImage(1, 1, QImage::Format_RGB32).dotsPerMeterX();
    if (!dpi && page.image.dotsPerMeterX() > 0 && page.image.dotsPerMeterX() != defaultDotsPerMetre)
        dpi = page.image.dotsPerMeterX() * 0.0254;
    if (dpi && *dpi >= minDpi && *dpi <= maxDpi) page.dpi = *dpi;
    return page;
}
