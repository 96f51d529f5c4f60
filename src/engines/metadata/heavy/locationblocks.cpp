#include "engines/metadata/heavy/locationblocks.h"

#include "engines/image/jpegsegments.h"
#include "engines/metadata/heavy/jpegtags.h"
#include "engines/metadata/heavy/locationrule.h"
#include "engines/metadata/heavy/tifftags.h"

#include <QtEndian>
#include <exiv2/exiv2.hpp>
#include <vector>

namespace {

constexpr quint16 iptcResource = 0x0404, xmpResource = 0x0424;

// Words that a location in a packet cannot be written without.
bool mayHoldLocation(const QByteArray& packet, const LocationRule& rule)
{
    const QByteArray lower = packet.toLower();
    for (const char* word :
         {"gps", "latitude", "longitude", "city", "state", "province", "country", "location", "place",
          "coverage", "geo", "coordinates", "locality", "county", "municipality"})
        if (lower.contains(word)) return true;
    return rule.holdsLocation(QString::fromUtf8(packet));
}

template <class Data> long eraseLocation(Data& data, LocationRule& rule)
{
    for (const auto& d : data)
        rule.learn(d);
    const long before = data.count();
    for (auto it = data.begin(); it != data.end();)
        it = rule.isLocation(*it) ? data.erase(it) : std::next(it);
    return before - data.count();
}

// Overwrites with zeros each copy of `value` that lies in `data` from `from` to `to`; false when
// there is none.
bool overwrite(QByteArray& data, qsizetype from, qsizetype to, QByteArray value)
{
    while (value.endsWith('\0'))
        value.chop(1);
    if (value.size() < 2) return false;
    bool found = false;
    for (qsizetype at = data.indexOf(value, from); at >= 0 && at + value.size() <= to;
         at = data.indexOf(value, at + value.size())) {
        std::fill(data.begin() + at, data.begin() + at + value.size(), '\0');
        found = true;
    }
    return found;
}

long number(const Exiv2::ExifData& exif, const char* key)
{
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    return it == exif.end() || it->count() == 0 ? -1 : it->toLong();
}

// The location fields of the maker note in the TIFF `data` (read by `exif`), overwritten.
void clearMakerNote(QByteArray& data, const Exiv2::ExifData& exif, const LocationRule& rule)
{
    const auto note = exif.findKey(Exiv2::ExifKey("Exif.Photo.MakerNote"));
    const long from = number(exif, "Exif.MakerNote.Offset");
    if (note == exif.end() || from < 0 || from + note->size() > data.size()) return;
    const qsizetype to = from + note->size();
    const auto orderTag = exif.findKey(Exiv2::ExifKey("Exif.MakerNote.ByteOrder"));
    const Exiv2::ByteOrder order =
        orderTag != exif.end() && orderTag->toString() == "MM" ? Exiv2::bigEndian : Exiv2::littleEndian;
    bool whole = false;
    for (const Exiv2::Exifdatum& d : exif) {
        if (!Exiv2::ExifTags::isMakerGroup(d.groupName()) || !rule.tellsLocation(d)) continue;
        std::vector<Exiv2::byte> raw(size_t(d.size()));
        d.copy(raw.data(), order);
        const QByteArray value(reinterpret_cast<const char*>(raw.data()), qsizetype(raw.size()));
        whole = whole || LocationRule::texts(d).isEmpty() || !overwrite(data, from, to, value);
    }
    if (whole) std::fill(data.begin() + from, data.begin() + to, '\0');
}

// The Exif thumbnail of the TIFF `data` (read by `exif`) cleaned as a JPEG photo is, where it was:
// a cleaned thumbnail that grew loses its tags instead, and the room it leaves is zeros.
void cleanThumbnail(QByteArray& data, const Exiv2::ExifData& exif, LocationRule& rule)
{
    const long from = number(exif, "Exif.Thumbnail.JPEGInterchangeFormat"),
               size = number(exif, "Exif.Thumbnail.JPEGInterchangeFormatLength");
    if (from <= 0 || size <= 0 || from + size > data.size()) return;
    const QByteArray thumbnail = data.mid(from, size);
    if (!thumbnail.startsWith("\xFF\xD8")) return;
    std::optional<QByteArray> kept = JpegTags::withoutLocation(thumbnail, rule);
    if (kept == thumbnail) return;
    if (!kept || kept->size() > size)
        kept = JpegSegments::firstPicture(thumbnail, JpegSegments::Keep::decoding);
    if (!kept || kept->size() > size) kept = QByteArray();
    data.replace(from, size, *kept + QByteArray(size - kept->size(), '\0'));
}

QByteArray u32(quint32 v)
{
    QByteArray out(4, '\0');
    qToBigEndian(v, out.data());
    return out;
}

} // namespace

namespace LocationBlocks {

std::optional<QByteArray> exif(const QByteArray& block, LocationRule& rule)
{
    static const QByteArray header("Exif\0\0", 6);
    const qsizetype start = block.startsWith(header) ? header.size() : 0;
    const std::optional<QByteArray> kept = tiff(block.mid(start), rule);
    if (!kept) return QByteArray();
    if (*kept == block.mid(start)) return std::nullopt;
    return block.left(start) + *kept;
}

std::optional<QByteArray> tiff(const QByteArray& data, LocationRule& rule)
{
    std::optional<QByteArray> kept = TiffTags::withoutLocation(data, rule);
    if (!kept) return std::nullopt;
    Exiv2::ExifData exif;
    try {
        Exiv2::ExifParser::decode(exif, reinterpret_cast<const Exiv2::byte*>(kept->constData()),
                                  uint32_t(kept->size()));
    } catch (const std::exception&) {
        return kept;
    }
    for (const Exiv2::Exifdatum& d : exif)
        rule.learn(d);
    clearMakerNote(*kept, exif, rule);
    cleanThumbnail(*kept, exif, rule);
    return kept;
}

std::optional<QByteArray> xmp(const QByteArray& packet, LocationRule& rule)
{
    Exiv2::XmpData data;
    if (Exiv2::XmpParser::decode(data, packet.toStdString()) != 0)
        return mayHoldLocation(packet, rule) ? std::optional(QByteArray()) : std::nullopt;
    if (eraseLocation(data, rule) == 0) return std::nullopt;
    std::string kept;
    if (data.empty() || Exiv2::XmpParser::encode(kept, data) != 0) return QByteArray();
    return QByteArray::fromStdString(kept);
}

std::optional<QByteArray> iptc(const QByteArray& records, LocationRule& rule)
{
    Exiv2::IptcData data;
    if (Exiv2::IptcParser::decode(data, reinterpret_cast<const Exiv2::byte*>(records.constData()),
                                  uint32_t(records.size())) != 0)
        return QByteArray();
    if (eraseLocation(data, rule) == 0) return std::nullopt;
    const Exiv2::DataBuf kept = Exiv2::IptcParser::encode(data);
    return QByteArray(reinterpret_cast<const char*>(kept.pData_), qsizetype(kept.size_));
}

std::optional<QByteArray> photoshop(const QByteArray& resources, LocationRule& rule)
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
        if (id == iptcResource) kept = iptc(data, rule);
        if (id == xmpResource) kept = xmp(data, rule);
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
