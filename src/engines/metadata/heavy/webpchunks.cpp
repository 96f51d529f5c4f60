#include "engines/metadata/heavy/webpchunks.h"

#include "engines/metadata/heavy/locationblocks.h"

#include <QtEndian>

namespace {

constexpr quint8 exifFlag = 0x08, xmpFlag = 0x04;

QByteArray chunk(const QByteArray& kind, const QByteArray& data)
{
    QByteArray out = kind + QByteArray(4, '\0');
    qToLittleEndian(quint32(data.size()), out.data() + 4);
    out += data;
    if (data.size() & 1) out += '\0';
    return out;
}

// Calls `visit` with each chunk's kind and data in `data` from `at` on; false when the chunks
// cannot be followed.
template <class Visit> bool walk(const QByteArray& data, qsizetype at, Visit visit)
{
    while (at < data.size()) {
        if (at + 8 > data.size()) return false;
        const qsizetype size = qFromLittleEndian<quint32>(data.constData() + at + 4);
        if (size < 0 || at + 8 + size > data.size()) return false;
        visit(data.mid(at, 4), data.mid(at + 8, size));
        at += 8 + size + (size & 1);
    }
    return true;
}

bool isPicture(const QByteArray& kind)
{
    return kind == "VP8 " || kind == "VP8L" || kind == "ALPH";
}

} // namespace

namespace WebpChunks {

std::optional<QByteArray> pictureOnly(const QByteArray& data)
{
    if (data.size() < 12 || !data.startsWith("RIFF") || data.mid(8, 4) != "WEBP") return std::nullopt;
    const qsizetype declared = qsizetype(qFromLittleEndian<quint32>(data.constData() + 4)) + 8;
    const QByteArray riff = data.left(std::min(declared, data.size()));
    QByteArray out = data.left(12);
    bool framesFollowed = true;
    const bool followed = walk(riff, 12, [&](const QByteArray& kind, const QByteArray& body) {
        if (kind == "VP8X" && body.size() >= 1) {
            QByteArray header = body;
            header[0] = char(quint8(header[0]) & ~(exifFlag | xmpFlag));
            out += chunk(kind, header);
        } else if (kind == "ANMF" && body.size() >= 16) {
            QByteArray frame = body.left(16);
            framesFollowed =
                framesFollowed && walk(body, 16, [&](const QByteArray& part, const QByteArray& b) {
                    if (isPicture(part)) frame += chunk(part, b);
                });
            out += chunk(kind, frame);
        } else if (isPicture(kind) || kind == "ANIM" || kind == "ICCP") {
            out += chunk(kind, body);
        }
    });
    if (!followed || !framesFollowed) return std::nullopt;
    qToLittleEndian(quint32(out.size() - 8), out.data() + 4);
    return out;
}

std::optional<QByteArray> withoutLocation(const QByteArray& data, LocationRule& rule)
{
    if (data.size() < 12 || !data.startsWith("RIFF") || data.mid(8, 4) != "WEBP") return std::nullopt;
    QByteArray out = data.left(12);
    bool changed = false;
    quint8 dropped = 0;
    qsizetype header = -1; // where VP8X sits in `out`
    for (qsizetype at = 12; at < data.size();) {
        if (at + 8 > data.size()) return std::nullopt;
        const QByteArray kind = data.mid(at, 4);
        const qsizetype size = qFromLittleEndian<quint32>(data.constData() + at + 4);
        const qsizetype end = at + 8 + size + (size & 1);
        if (size < 0 || at + 8 + size > data.size()) return std::nullopt;
        const QByteArray body = data.mid(at + 8, size);
        std::optional<QByteArray> kept;
        if (kind == "EXIF") kept = LocationBlocks::exif(body, rule);
        if (kind == "XMP " || kind == QByteArray("XMP\0", 4)) kept = LocationBlocks::xmp(body, rule);
        if (kind == "VP8X") header = out.size();
        if (!kept) {
            out += data.mid(at, std::min(end, data.size()) - at);
        } else {
            changed = true;
            if (!kept->isEmpty())
                out += chunk(kind, *kept);
            else
                dropped |= kind == "EXIF" ? exifFlag : kind == "XMP " ? xmpFlag : 0;
        }
        at = end;
    }
    if (!changed) return data;
    if (header >= 0 && out.size() > header + 8) out[header + 8] = char(quint8(out[header + 8]) & ~dropped);
    qToLittleEndian(quint32(out.size() - 8), out.data() + 4);
    return out;
}

} // namespace WebpChunks
