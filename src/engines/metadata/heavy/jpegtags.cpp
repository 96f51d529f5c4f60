#include "engines/metadata/heavy/jpegtags.h"

#include "engines/image/jpegsegments.h"
#include "engines/metadata/heavy/locationblocks.h"
#include "engines/metadata/heavy/locationrule.h"

#include <QCryptographicHash>
#include <QMap>
#include <QtEndian>
#include <exiv2/exiv2.hpp>

namespace {

constexpr quint8 app1 = 0xE1, app2 = 0xE2, app13 = 0xED, comment = 0xFE;
// The most a segment's payload can hold.
constexpr qsizetype largestPayload = 65533;

const QByteArray exifHeader("Exif\0\0", 6);
const QByteArray xmpHeader("http://ns.adobe.com/xap/1.0/\0", 29);
const QByteArray extensionHeader("http://ns.adobe.com/xmp/extension/\0", 35);
const QByteArray photoshopHeader("Photoshop 3.0\0", 14);
const QByteArray mpfHeader("MPF\0", 4);

QByteArray payloadOf(const QByteArray& data, const JpegSegments::Segment& s)
{
    return data.mid(s.from + 4, s.to - s.from - 4);
}

std::optional<QByteArray> segment(quint8 code, const QByteArray& payload)
{
    if (payload.size() > largestPayload) return std::nullopt;
    QByteArray out(4, '\0');
    out[0] = char(0xFF);
    out[1] = char(code);
    qToBigEndian(quint16(payload.size() + 2), out.data() + 2);
    return out + payload;
}

// Where the entries of a multi-picture index sit in `picture` (at `at`, each 16 bytes: attribute,
// size, offset, dependent pictures), where offsets count from, their number and byte order.
struct Index
{
    qsizetype at = 0, base = 0, count = 0;
    bool little = false;
};

std::optional<Index> indexOf(const QByteArray& picture)
{
    const std::optional<QList<JpegSegments::Segment>> segments = JpegSegments::segments(picture);
    if (!segments) return std::nullopt;
    for (const JpegSegments::Segment& s : *segments) {
        if (s.code != app2 || !payloadOf(picture, s).startsWith(mpfHeader)) continue;
        Index index;
        index.base = s.from + 4 + mpfHeader.size();
        const qsizetype end = s.to;
        index.little = picture.mid(index.base, 2) == "II";
        const auto u16 = [&](qsizetype at) {
            return qsizetype(index.little ? qFromLittleEndian<quint16>(picture.constData() + at)
                                          : qFromBigEndian<quint16>(picture.constData() + at));
        };
        const auto u32 = [&](qsizetype at) {
            return qsizetype(index.little ? qFromLittleEndian<quint32>(picture.constData() + at)
                                          : qFromBigEndian<quint32>(picture.constData() + at));
        };
        if (index.base + 8 > end) return std::nullopt;
        const qsizetype ifd = index.base + u32(index.base + 4);
        if (ifd < index.base + 8 || ifd + 2 > end) return std::nullopt;
        for (qsizetype i = 0, n = u16(ifd); i < n; ++i) {
            const qsizetype e = ifd + 2 + 12 * i;
            if (e + 12 > end) return std::nullopt;
            if (u16(e) != 0xB002) continue;
            index.count = u32(e + 4) / 16;
            index.at = index.base + u32(e + 8);
            if (index.count < 1 || index.at < index.base || index.at + 16 * index.count > end)
                return std::nullopt;
            return index;
        }
        return std::nullopt;
    }
    return Index{};
}

QByteArray withoutHasExtendedXmp(const QByteArray& packet)
{
    Exiv2::XmpData data;
    if (Exiv2::XmpParser::decode(data, packet.toStdString()) != 0) return packet;
    const auto it = data.findKey(Exiv2::XmpKey("Xmp.xmpNote.HasExtendedXMP"));
    if (it == data.end()) return packet;
    data.erase(it);
    std::string kept;
    if (data.empty() || Exiv2::XmpParser::encode(kept, data) != 0) return {};
    return QByteArray::fromStdString(kept);
}

// The extended XMP of a picture: its packets by GUID, put together from the segments' parts.
QMap<QByteArray, QByteArray> extendedXmp(const QList<QByteArray>& parts)
{
    QMap<QByteArray, QByteArray> packets;
    for (const QByteArray& part : parts) {
        if (part.size() < extensionHeader.size() + 40) continue;
        const qsizetype at = extensionHeader.size();
        const QByteArray guid = part.mid(at, 32);
        const qsizetype length = qFromBigEndian<quint32>(part.constData() + at + 32);
        const qsizetype offset = qFromBigEndian<quint32>(part.constData() + at + 36);
        const QByteArray piece = part.mid(at + 40);
        QByteArray& packet = packets[guid];
        if (packet.size() < length && length <= 64 << 20) packet.resize(length, '\0');
        if (offset + piece.size() <= packet.size()) packet.replace(offset, piece.size(), piece);
    }
    return packets;
}

std::optional<QByteArray> extensionSegments(const QByteArray& packet, const QByteArray& guid)
{
    QByteArray out;
    const qsizetype room = largestPayload - extensionHeader.size() - 40;
    for (qsizetype at = 0; at < packet.size(); at += room) {
        QByteArray payload = extensionHeader + guid + QByteArray(8, '\0');
        qToBigEndian(quint32(packet.size()), payload.data() + extensionHeader.size() + 32);
        qToBigEndian(quint32(at), payload.data() + extensionHeader.size() + 36);
        const std::optional<QByteArray> s = segment(app1, payload + packet.mid(at, room));
        if (!s) return std::nullopt;
        out += *s;
    }
    return out;
}

// One picture without its location; the picture itself when it holds none.
std::optional<QByteArray> pictureWithoutLocation(const QByteArray& picture, LocationRule& rule)
{
    const std::optional<QList<JpegSegments::Segment>> segments = JpegSegments::segments(picture);
    if (!segments) return std::nullopt;
    // The Photoshop block and the extended XMP are each read whole from all their segments.
    QByteArray resources;
    QList<QByteArray> extension;
    for (const JpegSegments::Segment& s : *segments) {
        const QByteArray payload = payloadOf(picture, s);
        if (s.code == app13 && payload.startsWith(photoshopHeader))
            resources += payload.mid(photoshopHeader.size());
        if (s.code == app1 && payload.startsWith(extensionHeader)) extension << payload;
    }
    const std::optional<QByteArray> keptResources = LocationBlocks::photoshop(resources, rule);
    // The extended packets that held a location, without it and under a GUID of their own, and
    // the GUIDs they had.
    QMap<QByteArray, QByteArray> renamed;
    QByteArray newExtension;
    bool extensionChanged = false;
    const QMap<QByteArray, QByteArray> packets = extendedXmp(extension);
    for (auto it = packets.begin(); it != packets.end(); ++it) {
        std::optional<QByteArray> kept = LocationBlocks::xmp(*it, rule);
        QByteArray guid = it.key();
        if (kept) {
            extensionChanged = true;
            guid = kept->isEmpty()
                       ? QByteArray()
                       : QCryptographicHash::hash(*kept, QCryptographicHash::Md5).toHex().toUpper();
            renamed[it.key()] = guid;
        }
        if (guid.isEmpty()) continue;
        const std::optional<QByteArray> written = extensionSegments(kept.value_or(*it), guid);
        if (!written) return std::nullopt;
        newExtension += *written;
    }

    QByteArray out = picture.left(2);
    bool changed = extensionChanged || keptResources.has_value();
    bool resourcesPlaced = false;
    for (const JpegSegments::Segment& s : *segments) {
        const QByteArray payload = payloadOf(picture, s);
        const QByteArray whole = picture.mid(s.from, s.to - s.from);
        const bool app = s.code >= 0xE0 && s.code <= 0xEF;
        if (app && s.code == app13 && payload.startsWith(photoshopHeader) && keptResources) {
            // Written again where the block began, split as it must be.
            for (qsizetype at = 0; !resourcesPlaced && at < keptResources->size();
                 at += largestPayload - photoshopHeader.size())
                out += *segment(app13, photoshopHeader +
                                           keptResources->mid(at, largestPayload - photoshopHeader.size()));
            resourcesPlaced = true;
            continue;
        }
        if (app && s.code == app1 && payload.startsWith(extensionHeader) && extensionChanged) continue;
        std::optional<QByteArray> kept;
        if (s.code == app1 && payload.startsWith(exifHeader)) kept = LocationBlocks::exif(payload, rule);
        if (s.code == comment && rule.holdsLocation(QString::fromUtf8(payload))) kept = QByteArray();
        if (s.code == app1 && payload.startsWith(xmpHeader)) {
            const QByteArray packet = payload.mid(xmpHeader.size());
            kept = LocationBlocks::xmp(packet, rule);
            // The packet names its extension by GUID, which follows the extension's new contents.
            if (!renamed.isEmpty() && (!kept || !kept->isEmpty())) {
                QByteArray text = kept.value_or(packet);
                for (auto it = renamed.cbegin(); it != renamed.cend(); ++it)
                    text = it->isEmpty() ? withoutHasExtendedXmp(text) : text.replace(it.key(), *it);
                kept = text;
            }
            if (kept && !kept->isEmpty()) kept = xmpHeader + *kept;
        }
        if (!kept) {
            out += whole;
        } else {
            changed = true;
            if (!kept->isEmpty()) {
                const std::optional<QByteArray> s1 = segment(s.code, *kept);
                if (!s1) return std::nullopt;
                out += *s1;
            }
        }
        // The extension follows the packet it extends.
        if (s.code == app1 && payload.startsWith(xmpHeader) && extensionChanged) out += newExtension;
    }
    return changed ? out : picture;
}

} // namespace

namespace JpegTags {

std::optional<QList<QByteArray>> pictures(const QByteArray& data)
{
    const std::optional<QList<JpegSegments::Segment>> segments = JpegSegments::segments(data);
    if (!segments || segments->isEmpty()) return std::nullopt;
    const QByteArray first = data.left(segments->last().to);
    const std::optional<Index> index = indexOf(first);
    if (!index) return std::nullopt;
    QList<QByteArray> out{first};
    for (qsizetype i = 1; i < index->count; ++i) {
        const qsizetype entry = index->at + 16 * i;
        const auto u32 = [&](qsizetype at) {
            return qsizetype(index->little ? qFromLittleEndian<quint32>(first.constData() + at)
                                           : qFromBigEndian<quint32>(first.constData() + at));
        };
        const qsizetype size = u32(entry + 4), from = index->base + u32(entry + 8);
        if (from < first.size() || size < 4 || from + size > data.size()) return std::nullopt;
        out << data.mid(from, size);
    }
    return out;
}

std::optional<QByteArray> joined(const QList<QByteArray>& pictures)
{
    if (pictures.size() < 2) return pictures.value(0);
    QByteArray first = pictures[0];
    const std::optional<Index> index = indexOf(first);
    if (!index || index->count != pictures.size()) return std::nullopt;
    const auto put = [&](qsizetype at, qsizetype value) {
        index->little ? qToLittleEndian(quint32(value), first.data() + at)
                      : qToBigEndian(quint32(value), first.data() + at);
    };
    put(index->at + 4, first.size());
    qsizetype at = first.size();
    for (qsizetype i = 1; i < pictures.size(); ++i) {
        put(index->at + 16 * i + 4, pictures[i].size());
        put(index->at + 16 * i + 8, at - index->base);
        at += pictures[i].size();
    }
    QByteArray out = first;
    for (qsizetype i = 1; i < pictures.size(); ++i)
        out += pictures[i];
    return out;
}

QByteArray reindexed(const QByteArray& before, QByteArray after)
{
    const std::optional<QList<JpegSegments::Segment>> old = JpegSegments::segments(before),
                                                      now = JpegSegments::segments(after);
    if (!old || !now || old->isEmpty() || now->isEmpty()) return after;
    const std::optional<Index> was = indexOf(before.left(old->last().to)),
                               is = indexOf(after.left(now->last().to));
    if (!was || !is || was->count != is->count || is->count < 2) return after;
    // What lies behind the first picture moved with its end, the offsets' base with the index.
    const qsizetype moved = (now->last().to - old->last().to) - (is->base - was->base);
    const auto u32 = [&](qsizetype at) {
        return qsizetype(is->little ? qFromLittleEndian<quint32>(after.constData() + at)
                                    : qFromBigEndian<quint32>(after.constData() + at));
    };
    const auto put = [&](qsizetype at, qsizetype value) {
        is->little ? qToLittleEndian(quint32(value), after.data() + at)
                   : qToBigEndian(quint32(value), after.data() + at);
    };
    put(is->at + 4, now->last().to);
    for (qsizetype i = 1; i < is->count; ++i)
        if (const qsizetype offset = u32(is->at + 16 * i + 8); offset != 0)
            put(is->at + 16 * i + 8, offset + moved);
    return after;
}

std::optional<QByteArray> withoutLocation(const QByteArray& data, LocationRule& rule)
{
    std::optional<QList<QByteArray>> all = pictures(data);
    if (!all) {
        const std::optional<QByteArray> first = JpegSegments::firstPicture(data, JpegSegments::Keep::tags);
        if (!first) return std::nullopt;
        all = QList<QByteArray>{*first};
    }
    bool changed = false;
    for (QByteArray& picture : *all) {
        const std::optional<QByteArray> kept = pictureWithoutLocation(picture, rule);
        if (!kept) return std::nullopt;
        changed = changed || *kept != picture;
        picture = *kept;
    }
    if (!changed) return data;
    return joined(*all);
}

} // namespace JpegTags
