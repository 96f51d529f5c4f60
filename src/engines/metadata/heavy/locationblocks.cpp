#include "engines/metadata/heavy/locationblocks.h"

#include "engines/metadata/heavy/locationnames.h"
#include "engines/metadata/heavy/tifftags.h"

#include <QtEndian>
#include <exiv2/exiv2.hpp>

namespace {

constexpr quint16 iptcResource = 0x0404, xmpResource = 0x0424;

// Words that a location in a packet cannot be written without.
bool mayHoldLocation(const QByteArray& packet)
{
    const QByteArray lower = packet.toLower();
    for (const char* word :
         {"gps", "latitude", "longitude", "city", "state", "province", "country", "location", "place"})
        if (lower.contains(word)) return true;
    return false;
}

template <class Data> long eraseLocation(Data& data)
{
    const long before = data.count();
    for (auto it = data.begin(); it != data.end();)
        it = LocationNames::isLocationKey(it->key()) ? data.erase(it) : std::next(it);
    return before - data.count();
}

QByteArray u32(quint32 v)
{
    QByteArray out(4, '\0');
    qToBigEndian(v, out.data());
    return out;
}

} // namespace

namespace LocationBlocks {

std::optional<QByteArray> exif(const QByteArray& block)
{
    static const QByteArray header("Exif\0\0", 6);
    const qsizetype start = block.startsWith(header) ? header.size() : 0;
    const std::optional<QByteArray> kept = TiffTags::without(block.mid(start), TiffTags::Drop::location);
    if (!kept) return QByteArray();
    if (*kept == block.mid(start)) return std::nullopt;
    return block.left(start) + *kept;
}

std::optional<QByteArray> xmp(const QByteArray& packet)
{
    Exiv2::XmpData data;
    if (Exiv2::XmpParser::decode(data, packet.toStdString()) != 0)
        return mayHoldLocation(packet) ? std::optional(QByteArray()) : std::nullopt;
    if (eraseLocation(data) == 0) return std::nullopt;
    std::string kept;
    if (data.empty() || Exiv2::XmpParser::encode(kept, data) != 0) return QByteArray();
    return QByteArray::fromStdString(kept);
}

std::optional<QByteArray> iptc(const QByteArray& records)
{
    Exiv2::IptcData data;
    if (Exiv2::IptcParser::decode(data, reinterpret_cast<const Exiv2::byte*>(records.constData()),
                                  uint32_t(records.size())) != 0)
        return QByteArray();
    if (eraseLocation(data) == 0) return std::nullopt;
    const Exiv2::DataBuf kept = Exiv2::IptcParser::encode(data);
    return QByteArray(reinterpret_cast<const char*>(kept.pData_), qsizetype(kept.size_));
}

std::optional<QByteArray> photoshop(const QByteArray& resources)
{
    QByteArray out;
    bool changed = false;
    for (qsizetype at = 0; at < resources.size();) {
        // "8BIM", the id, a Pascal name padded to an even length, the size and the data, padded.
        if (at + 12 > resources.size() || resources.mid(at, 4) != "8BIM") return QByteArray();
        const quint16 id = qFromBigEndian<quint16>(resources.constData() + at + 4);
        const qsizetype nameLength = (quint8(resources[at + 6]) + 2) & ~1;
        const qsizetype sizeAt = at + 6 + nameLength;
        if (sizeAt + 4 > resources.size()) return QByteArray();
        const qsizetype size = qFromBigEndian<quint32>(resources.constData() + sizeAt);
        const qsizetype end = sizeAt + 4 + size + (size & 1);
        if (size < 0 || sizeAt + 4 + size > resources.size()) return QByteArray();
        const QByteArray data = resources.mid(sizeAt + 4, size);
        std::optional<QByteArray> kept;
        if (id == iptcResource) kept = iptc(data);
        if (id == xmpResource) kept = xmp(data);
        if (!kept) {
            out += resources.mid(at, std::min(end, resources.size()) - at);
        } else {
            changed = true;
            if (!kept->isEmpty()) out += resources.mid(at, sizeAt - at) + u32(quint32(kept->size())) + *kept;
            if (kept->size() & 1) out += '\0';
        }
        at = end;
    }
    if (!changed) return std::nullopt;
    return out;
}

} // namespace LocationBlocks
