#include "engines/pdf/fontcheck.h"

#include <QHash>
#include <QtEndian>

namespace {

struct Table
{
    qint64 offset = 0;
    qint64 length = 0;
};

quint32 tag(const char (&name)[5])
{
    return qFromBigEndian<quint32>(name);
}

} // namespace

namespace FontCheck {

bool trueTypeWhole(const QByteArray& data)
{
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    const qint64 size = data.size();
    const auto u16 = [&](qint64 at) { return at + 2 <= size ? qFromBigEndian<quint16>(bytes + at) : 0u; };
    const auto u32 = [&](qint64 at) { return at + 4 <= size ? qFromBigEndian<quint32>(bytes + at) : 0u; };
    if (size < 12) return false;
    const quint32 version = u32(0);
    if (version != 0x00010000 && version != tag("true") && version != tag("OTTO")) return true;
    const int count = u16(4);
    if (12 + 16 * qint64(count) > size) return false;
    QHash<quint32, Table> tables;
    for (int i = 0; i < count; ++i) {
        const qint64 at = 12 + 16 * qint64(i);
        for (qint64 c = at; c < at + 4; ++c)
            if (bytes[c] < 0x20 || bytes[c] > 0x7E) return false;
        const Table table{u32(at + 8), u32(at + 12)};
        if (table.offset + table.length > size) return false;
        tables.insert(u32(at), table);
    }
    if (version == tag("OTTO")) return true; // outlines in CFF, which the reader checks
    const Table head = tables.value(tag("head")), maxp = tables.value(tag("maxp")),
                loca = tables.value(tag("loca")), glyf = tables.value(tag("glyf"));
    if (head.length < 54 || maxp.length < 6 || !tables.contains(tag("loca")) || !tables.contains(tag("glyf")))
        return false;
    if (u32(head.offset + 12) != 0x5F0F3CF5) return false; // the head table's magic number
    const int format = u16(head.offset + 50);
    if (format > 1) return false;
    const qint64 glyphs = u16(maxp.offset + 4);
    const qint64 entry = format == 0 ? 2 : 4;
    if ((glyphs + 1) * entry > loca.length) return false;
    for (qint64 g = 0; g <= glyphs; ++g) {
        const qint64 at = loca.offset + g * entry;
        const qint64 offset = format == 0 ? qint64(u16(at)) * 2 : qint64(u32(at));
        if (offset > glyf.length) return false;
    }
    return true;
}

} // namespace FontCheck
