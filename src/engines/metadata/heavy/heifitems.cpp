#include "engines/metadata/heavy/heifitems.h"

#include <algorithm>
#include <functional>

namespace {

// Big-endian fields read from one box's bytes; a read past the end leaves `ok` false.
struct Reader
{
    const QByteArray& bytes;
    qsizetype at;
    qsizetype end;
    bool ok = true;

    quint64 take(int size)
    {
        if (size < 0 || at + size > end) {
            ok = false;
            return 0;
        }
        quint64 v = 0;
        for (int i = 0; i < size; ++i)
            v = v << 8 | quint8(bytes[at + i]);
        at += size;
        return v;
    }
    QByteArray chars(int size)
    {
        const qsizetype from = at;
        take(size);
        return ok ? bytes.mid(from, size) : QByteArray();
    }
    QByteArray string() // ends with a zero byte
    {
        const qsizetype zero = bytes.indexOf('\0', at);
        if (zero < 0 || zero >= end) {
            ok = false;
            return {};
        }
        const QByteArray out = bytes.mid(at, zero - at);
        at = zero + 1;
        return out;
    }
};

struct Span
{
    QByteArray type;
    qsizetype start = 0, body = 0, end = 0; // body: after the size and type
};

// The boxes that fill bytes `from` to `to`; none when their sizes do not add up.
std::optional<QList<Span>> spans(const QByteArray& bytes, qsizetype from, qsizetype to)
{
    QList<Span> out;
    while (from < to) {
        Reader r{bytes, from, to};
        quint64 size = r.take(4);
        const QByteArray type = r.chars(4);
        if (size == 1) size = r.take(8);
        if (size == 0) size = quint64(to - from);
        if (!r.ok || size < quint64(r.at - from) || size > quint64(to - from)) return std::nullopt;
        out.append({type, from, r.at, from + qsizetype(size)});
        from += qsizetype(size);
    }
    return out;
}

void put(QByteArray& out, quint64 value, int size)
{
    for (int i = size - 1; i >= 0; --i)
        out.append(char(value >> (8 * i)));
}

QByteArray box(const QByteArray& type, const QByteArray& payload)
{
    QByteArray out;
    if (payload.size() + 8 > 0xFFFFFFFFLL) {
        put(out, 1, 4);
        out += type;
        put(out, quint64(payload.size()) + 16, 8);
    } else {
        put(out, quint64(payload.size()) + 8, 4);
        out += type;
    }
    return out + payload;
}

QByteArray fullBox(const QByteArray& type, int version, quint32 flags, const QByteArray& payload)
{
    QByteArray head;
    put(head, quint64(version) << 24 | flags, 4);
    return box(type, head + payload);
}

// The item numbers of a box, two bytes wide unless one needs four.
int idSize(const QList<quint32>& ids)
{
    return std::any_of(ids.begin(), ids.end(), [](quint32 id) { return id > 0xFFFF; }) ? 4 : 2;
}

struct Location
{
    int method = 0; // 0: in the file, 1: in the meta box's data
    QList<std::pair<quint64, quint64>> extents;
};

std::optional<QHash<quint32, Location>> locations(const QByteArray& bytes, const Span& iloc)
{
    Reader r{bytes, iloc.body, iloc.end};
    const int version = int(r.take(1));
    r.take(3);
    const int sizes = int(r.take(2));
    const int offsetSize = sizes >> 12, lengthSize = (sizes >> 8) & 15, baseSize = (sizes >> 4) & 15,
              indexSize = version > 0 ? sizes & 15 : 0;
    for (const int size : {offsetSize, lengthSize, baseSize, indexSize})
        if (size != 0 && size != 4 && size != 8) return std::nullopt;
    const quint64 count = r.take(version < 2 ? 2 : 4);
    QHash<quint32, Location> out;
    for (quint64 i = 0; i < count && r.ok; ++i) {
        const quint32 id = quint32(r.take(version < 2 ? 2 : 4));
        Location where;
        if (version > 0) where.method = int(r.take(2) & 15);
        const quint64 reference = r.take(2), base = r.take(baseSize);
        const quint64 extents = r.take(2);
        // An item in another file, or made of other items' extents, is no copy's to follow.
        if (reference != 0 || where.method > 1 || indexSize != 0) return std::nullopt;
        for (quint64 e = 0; e < extents && r.ok; ++e) {
            const quint64 offset = r.take(offsetSize), length = r.take(lengthSize);
            if (length == 0) return std::nullopt; // "to the end", which no copy can keep
            where.extents.append({base + offset, length});
        }
        out.insert(id, where);
    }
    if (!r.ok || version > 2) return std::nullopt;
    return out;
}

// The bytes of the extents `where` in `from`, taking at most `budget` of them in all.
QByteArray gathered(const QByteArray& from, const Location& where, qsizetype& budget, bool& ok)
{
    QByteArray out;
    for (const auto& [offset, length] : where.extents) {
        if (offset > quint64(from.size()) || length > quint64(from.size()) - offset) ok = false;
        if (ok && qsizetype(length) > budget) ok = false;
        if (!ok) return {};
        budget -= qsizetype(length);
        out += from.mid(qsizetype(offset), qsizetype(length));
    }
    return out;
}

} // namespace

std::optional<HeifItems> HeifItems::read(const QByteArray& file)
{
    const std::optional<QList<Span>> top = spans(file, 0, file.size());
    if (!top || top->isEmpty() || top->first().type != "ftyp") return std::nullopt;
    HeifItems out;
    const Span* meta = nullptr;
    for (const Span& s : *top) {
        // A sequence's samples are found through offsets this copy would not move.
        if (s.type == "moov" || s.type == "moof" || (s.type == "meta" && meta)) return std::nullopt;
        if (s.type == "meta") meta = &s;
        out.m_top.append({s.type, file.mid(s.start, s.end - s.start)});
    }
    if (!meta) return std::nullopt;
    const std::optional<QList<Span>> children = spans(file, meta->body + 4, meta->end);
    if (!children) return std::nullopt;
    std::optional<QHash<quint32, Location>> where;
    QByteArray idat;
    for (const Span& s : *children) {
        out.m_meta.append({s.type, file.mid(s.start, s.end - s.start)});
        const bool full = s.type == "pitm" || s.type == "iloc" || s.type == "iinf" || s.type == "iref";
        Reader r{file, s.body, s.end};
        const int version = full ? int(r.take(1)) : 0;
        r.take(full ? 3 : 0);
        if (s.type == "pitm") {
            out.primary = quint32(r.take(version == 0 ? 2 : 4));
        } else if (s.type == "iloc") {
            where = locations(file, s);
        } else if (s.type == "idat") {
            idat = file.mid(s.body, s.end - s.body);
        } else if (s.type == "iinf") {
            r.take(version == 0 ? 2 : 4);
            const std::optional<QList<Span>> entries = spans(file, r.at, s.end);
            if (!entries) return std::nullopt;
            for (const Span& e : *entries) {
                Reader entry{file, e.body, e.end};
                const int v = int(entry.take(1));
                Item item;
                item.hidden = entry.take(3) & 1;
                item.id = quint32(entry.take(v == 3 ? 4 : 2));
                if (entry.take(2) != 0) return std::nullopt; // protected
                item.type = v >= 2 ? entry.chars(4) : QByteArray("mime");
                entry.string(); // its name
                if (item.type == "mime") item.contentType = entry.string();
                if (!entry.ok || e.type != "infe") return std::nullopt;
                item.entry = file.mid(e.start, e.end - e.start);
                out.items.append(item);
            }
        } else if (s.type == "iref") {
            const std::optional<QList<Span>> refs = spans(file, r.at, s.end);
            if (!refs) return std::nullopt;
            for (const Span& ref : *refs) {
                Reader refReader{file, ref.body, ref.end};
                Reference reference{ref.type, quint32(refReader.take(version == 0 ? 2 : 4)), {}};
                const quint64 count = refReader.take(2);
                for (quint64 i = 0; i < count && refReader.ok; ++i)
                    reference.to.append(quint32(refReader.take(version == 0 ? 2 : 4)));
                if (!refReader.ok) return std::nullopt;
                out.references.append(reference);
            }
        } else if (s.type == "iprp") {
            const std::optional<QList<Span>> parts = spans(file, s.body, s.end);
            if (!parts) return std::nullopt;
            for (const Span& part : *parts) {
                if (part.type == "ipco") {
                    const std::optional<QList<Span>> props = spans(file, part.body, part.end);
                    if (!props) return std::nullopt;
                    for (const Span& p : *props)
                        out.properties.append(file.mid(p.start, p.end - p.start));
                } else if (part.type == "ipma") {
                    Reader a{file, part.body, part.end};
                    const int v = int(a.take(1));
                    const bool wide = a.take(3) & 1;
                    const quint64 count = a.take(4);
                    for (quint64 i = 0; i < count && a.ok; ++i) {
                        QList<quint16>& list = out.associations[quint32(a.take(v < 1 ? 2 : 4))];
                        const quint64 n = a.take(1);
                        for (quint64 k = 0; k < n && a.ok; ++k) {
                            const quint64 p = a.take(wide ? 2 : 1);
                            list.append(quint16(wide ? p : (p & 0x80) << 8 | (p & 0x7F)));
                        }
                    }
                    if (!a.ok) return std::nullopt;
                }
            }
        }
        if (!r.ok) return std::nullopt;
    }
    if (!where || out.items.isEmpty()) return std::nullopt;
    bool ok = true;
    // Items may share bytes, but not so many that the copy would grow without end.
    qsizetype budget = 2 * file.size();
    for (Item& item : out.items) {
        const Location at = where->value(item.id);
        item.inIdat = at.method == 1;
        item.data = gathered(item.inIdat ? idat : file, at, budget, ok);
    }
    if (!ok || !out.item(out.primary)) return std::nullopt;
    return out;
}

HeifItems::Item* HeifItems::item(quint32 id)
{
    for (Item& i : items)
        if (i.id == id) return &i;
    return nullptr;
}

quint32 HeifItems::addDescription(const QByteArray& type, const QByteArray& data, quint32 to)
{
    quint32 id = 1;
    for (const Item& i : items)
        id = std::max(id, i.id + 1);
    QByteArray entry;
    put(entry, id, id > 0xFFFF ? 4 : 2);
    put(entry, 0, 2);
    entry += type + QByteArray(1, '\0');
    items.append({id, type, {}, true, false, data, fullBox("infe", id > 0xFFFF ? 3 : 2, 1, entry)});
    references.append({"cdsc", id, {to}});
    return id;
}

void HeifItems::remove(const QSet<quint32>& ids)
{
    items.removeIf([&](const Item& i) { return ids.contains(i.id); });
    for (Reference& r : references)
        r.to.removeIf([&](quint32 id) { return ids.contains(id); });
    references.removeIf([&](const Reference& r) { return ids.contains(r.from) || r.to.isEmpty(); });
    for (const quint32 id : ids)
        associations.remove(id);
}

QByteArray HeifItems::propertyType(quint16 number) const
{
    return number >= 1 && number <= properties.size() ? properties[number - 1].mid(4, 4) : QByteArray();
}

void HeifItems::keepProperties(const std::function<bool(const QByteArray&)>& keep)
{
    QList<QByteArray> kept;
    QHash<quint16, quint16> renumbered;
    for (int i = 0; i < properties.size(); ++i)
        if (keep(properties[i])) {
            kept.append(properties[i]);
            renumbered.insert(quint16(i + 1), quint16(kept.size()));
        }
    properties = kept;
    for (QList<quint16>& list : associations) {
        QList<quint16> next;
        for (const quint16 p : list)
            if (renumbered.contains(p & 0x7FFF)) next.append((p & 0x8000) | renumbered[p & 0x7FFF]);
        list = next;
    }
}

QByteArray HeifItems::meta(quint64 mediaStart, int offsetSize, bool keepOthers) const
{
    QList<quint32> ids;
    for (const Item& i : items)
        ids.append(i.id);
    for (const Reference& r : references)
        ids += QList<quint32>{r.from} + r.to;
    const int idBytes = idSize(ids + QList<quint32>{primary});

    QByteArray iloc, iinf, idat;
    put(iloc, quint64(offsetSize) << 12 | 4 << 8, 2); // lengths of four bytes, no base offsets
    put(iloc, quint64(items.size()), idBytes);
    put(iinf, quint64(items.size()), 4);
    quint64 media = mediaStart;
    for (const Item& i : items) {
        put(iloc, i.id, idBytes);
        put(iloc, i.inIdat ? 1 : 0, 2);
        put(iloc, 0, 2); // this file
        put(iloc, i.data.isEmpty() ? 0 : 1, 2);
        if (!i.data.isEmpty()) {
            put(iloc, i.inIdat ? quint64(idat.size()) : media, offsetSize);
            put(iloc, quint64(i.data.size()), 4);
        }
        if (i.inIdat)
            idat += i.data;
        else
            media += quint64(i.data.size());
        iinf += i.entry;
    }
    QByteArray iref;
    for (const Reference& r : references) {
        QByteArray payload;
        put(payload, r.from, idBytes);
        put(payload, quint64(r.to.size()), 2);
        for (const quint32 to : r.to)
            put(payload, to, idBytes);
        iref += box(r.type, payload);
    }
    QByteArray ipco, ipma;
    for (const QByteArray& p : properties)
        ipco += p;
    int associated = 0;
    for (const Item& i : items) {
        if (!associations.contains(i.id)) continue;
        ++associated;
        const QList<quint16>& list = associations[i.id];
        put(ipma, i.id, idBytes);
        put(ipma, quint64(list.size()), 1);
        for (const quint16 p : list)
            put(ipma, p, 2);
    }
    QByteArray count;
    put(count, quint64(associated), 4);
    ipma.prepend(count);
    const int version = idBytes == 4 ? 1 : 0;
    const QList<std::pair<QByteArray, QByteArray>> rebuilt{
        {"pitm", fullBox("pitm", version, 0,
                         [&] {
                             QByteArray b;
                             put(b, primary, idBytes);
                             return b;
                         }())},
        {"iloc", fullBox("iloc", idBytes == 4 ? 2 : 1, 0, iloc)},
        {"iinf", fullBox("iinf", 1, 0, iinf)},
        {"iref", references.isEmpty() ? QByteArray() : fullBox("iref", version, 0, iref)},
        {"iprp", box("iprp", box("ipco", ipco) + fullBox("ipma", version, 1, ipma))},
        {"idat", idat.isEmpty() ? QByteArray() : box("idat", idat)}};
    const auto find = [&](const QByteArray& type) {
        return std::find_if(rebuilt.begin(), rebuilt.end(), [&](const auto& r) { return r.first == type; });
    };
    QByteArray payload;
    QSet<QByteArray> written;
    for (const Box& b : m_meta) {
        if (const auto r = find(b.type); r != rebuilt.end()) {
            if (!written.contains(b.type)) payload += r->second;
            written.insert(b.type);
        } else if (b.type == "hdlr" || b.type == "dinf" ||
                   (keepOthers && b.type != "free" && b.type != "skip")) {
            payload += b.bytes;
        }
    }
    for (const auto& [type, bytes] : rebuilt)
        if (!written.contains(type)) payload += bytes;
    return fullBox("meta", 0, 0, payload);
}

QByteArray HeifItems::written(bool keepOthers) const
{
    QByteArray media;
    for (const Item& i : items)
        if (!i.inIdat) media += i.data;
    const int offsetSize = quint64(media.size()) > 0xF0000000ULL ? 8 : 4;
    // The other boxes in their order, then the media data: the meta box's size does not hang on
    // where that starts, so one pass finds it.
    QList<QByteArray> boxes;
    qsizetype metaAt = -1;
    for (const Box& b : m_top) {
        if (b.type == "meta") {
            metaAt = boxes.size();
            boxes.append(meta(0, offsetSize, keepOthers));
        } else if (b.type == "ftyp" ||
                   (keepOthers && b.type != "mdat" && b.type != "free" && b.type != "skip")) {
            boxes.append(b.bytes);
        }
    }
    const QByteArray mdat = box("mdat", media);
    quint64 mediaStart = quint64(mdat.size() - media.size());
    for (const QByteArray& b : boxes)
        mediaStart += quint64(b.size());
    boxes[metaAt] = meta(mediaStart, offsetSize, keepOthers);
    return boxes.join() + (media.isEmpty() ? QByteArray() : mdat);
}
