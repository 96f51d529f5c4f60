#include "engines/metadata/heavy/heiftags.h"

#include "engines/metadata/heavy/heifitems.h"

#include <QSet>
#include <QtEndian>
#include <string>

namespace {

bool isPicture(const QByteArray& type)
{
    static const QSet<QByteArray> types{"hvc1", "av01", "grid", "iovl", "iden", "jpeg",
                                        "avc1", "vvc1", "unci", "j2k1", "tmap"};
    return types.contains(type);
}

// The properties that code a picture, give its size, colours and light, and turn, crop or lay
// it out; any other property (a description, a user's note) is left out of a stripped copy.
bool showsThePicture(const QByteArray& property)
{
    static const QSet<QByteArray> types{"hvcC", "av1C", "vvcC", "avcC", "jpgC", "j2kH", "ispe",
                                        "pixi", "colr", "irot", "imir", "clap", "auxC", "pasp",
                                        "rloc", "lsel", "a1op", "a1lx", "clli", "mdcv", "cclv",
                                        "amve", "uncC", "cmpd", "cpal"};
    return types.contains(property.mid(4, 4));
}

// Whether item `id` is the alpha channel of another picture, as its auxiliary type says.
bool isAlpha(const HeifItems& heif, quint32 id)
{
    for (const quint16 p : heif.associations.value(id)) {
        if (heif.propertyType(p & 0x7FFF) != "auxC") continue;
        const QByteArray box = heif.properties[(p & 0x7FFF) - 1];
        const QByteArray type = box.mid(12, box.indexOf('\0', 12) - 12);
        if (type == "urn:mpeg:mpegB:cicp:systems:auxiliary:alpha" || type == "urn:mpeg:hevc:2015:auxid:1")
            return true;
    }
    return false;
}

template <class Data> std::string signature(const Data& data)
{
    std::string out;
    for (const auto& d : data)
        out += d.key() + '=' + d.toString() + '\n';
    return out;
}

// Whether item `id` describes the primary picture, or the whole file by describing none.
bool describesPrimary(const HeifItems& heif, quint32 id)
{
    bool describes = false, any = false;
    for (const HeifItems::Reference& r : heif.references)
        if (r.type == "cdsc" && r.from == id) {
            any = true;
            describes = describes || r.to.contains(heif.primary);
        }
    return describes || !any;
}

QByteArray encoded(const Exiv2::ExifData& exif, Exiv2::ByteOrder order)
{
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, order, exif);
    return QByteArray(reinterpret_cast<const char*>(blob.data()), qsizetype(blob.size()));
}

// The Exif item `item` changed; false when it cannot be read.
bool changeExif(HeifItems::Item& item, bool primary, const HeifTags::Changes& changes, bool& empty)
{
    if (item.data.size() < 4) return false;
    const quint32 offset = qFromBigEndian<quint32>(item.data.constData());
    if (offset > quint32(item.data.size() - 4)) return false;
    const QByteArray head = item.data.left(4 + qsizetype(offset)), tiff = item.data.mid(head.size());
    Exiv2::ExifData exif;
    const Exiv2::ByteOrder order = Exiv2::ExifParser::decode(
        exif, reinterpret_cast<const Exiv2::byte*>(tiff.constData()), uint32_t(tiff.size()));
    // A block that holds bytes but no tag exiv2 can read may hide anything.
    if (exif.empty() && !tiff.isEmpty()) return false;
    const std::string before = signature(exif);
    changes.exif(exif, primary);
    empty = exif.empty();
    if (!empty && signature(exif) != before) item.data = head + encoded(exif, order);
    return true;
}

bool changeXmp(HeifItems::Item& item, bool primary, const HeifTags::Changes& changes, bool& empty)
{
    Exiv2::XmpData xmp;
    if (Exiv2::XmpParser::decode(xmp, item.data.toStdString()) != 0) return false;
    const std::string before = signature(xmp);
    changes.xmp(xmp, primary);
    empty = xmp.empty();
    std::string packet;
    if (empty || signature(xmp) == before) return true;
    if (Exiv2::XmpParser::encode(packet, xmp) != 0) return false;
    item.data = QByteArray::fromStdString(packet);
    return true;
}

} // namespace

namespace HeifTags {

std::optional<QByteArray> stripped(const QByteArray& file)
{
    std::optional<HeifItems> heif = HeifItems::read(file);
    if (!heif) return std::nullopt;
    QSet<quint32> secondary, keep{heif->primary};
    for (const HeifItems::Reference& r : heif->references)
        if (r.type == "thmb" || r.type == "auxl") secondary.insert(r.from);
    for (const HeifItems::Item& i : heif->items)
        if (isPicture(i.type) && !i.hidden && !secondary.contains(i.id)) keep.insert(i.id);
    // What the kept pictures are made of, until nothing more is added.
    for (qsizetype size = -1; size != keep.size();) {
        size = keep.size();
        for (const HeifItems::Reference& r : heif->references) {
            if ((r.type == "dimg" || r.type == "base") && keep.contains(r.from))
                for (const quint32 to : r.to)
                    keep.insert(to);
            if (r.type == "auxl" && isAlpha(*heif, r.from) &&
                std::any_of(r.to.begin(), r.to.end(), [&](quint32 to) { return keep.contains(to); }))
                keep.insert(r.from);
        }
    }
    QSet<quint32> dropped;
    for (const HeifItems::Item& i : heif->items)
        if (!keep.contains(i.id) || !isPicture(i.type)) dropped.insert(i.id);
    heif->remove(dropped);
    QSet<quint16> used;
    for (const QList<quint16>& list : std::as_const(heif->associations))
        for (const quint16 p : list)
            used.insert(p & 0x7FFF);
    quint16 number = 0;
    heif->keepProperties(
        [&](const QByteArray& box) { return used.contains(++number) && showsThePicture(box); });
    return heif->written(false);
}

std::optional<QByteArray> changed(const QByteArray& file, const Changes& changes)
{
    std::optional<HeifItems> heif = HeifItems::read(file);
    if (!heif) return std::nullopt;
    QSet<quint32> emptied;
    bool primaryExif = false;
    try {
        for (HeifItems::Item& item : heif->items) {
            const bool primary = describesPrimary(*heif, item.id);
            bool empty = false;
            if (item.type == "Exif") {
                primaryExif = primaryExif || primary;
                if (!changeExif(item, primary, changes, empty)) return std::nullopt;
            } else if (item.type == "mime" && item.contentType == "application/rdf+xml") {
                if (!changeXmp(item, primary, changes, empty)) return std::nullopt;
            }
            if (empty) emptied.insert(item.id);
        }
        if (!primaryExif) {
            Exiv2::ExifData exif;
            changes.exif(exif, true);
            if (!exif.empty())
                heif->addDescription("Exif", QByteArray(4, '\0') + encoded(exif, Exiv2::bigEndian),
                                     heif->primary);
        }
    } catch (const Exiv2::AnyError&) {
        return std::nullopt;
    }
    heif->remove(emptied);
    return heif->written(true);
}

} // namespace HeifTags
