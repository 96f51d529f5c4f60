#include "engines/metadata/heavy/tifftags.h"

#include "engines/metadata/heavy/locationblocks.h"
#include "engines/metadata/heavy/locationrule.h"

#include <QList>
#include <QSet>
#include <algorithm>

namespace {

using TiffTags::Drop;

constexpr quint16 stripOffsets = 273, stripCounts = 279, tileOffsets = 324, tileCounts = 325, subIfds = 330,
                  xmpPacket = 700, iptcRecords = 33723, photoshopResources = 34377, jpegFormat = 513,
                  jpegLength = 514, exifIfd = 34665, gpsIfd = 34853, interopIfd = 40965, userComment = 37510;

// Where a GeoTIFF places its pixels on the earth: scale, tie points, transformation and keys.
bool isGeoTiff(quint16 tag)
{
    return tag == 33550 || tag == 33922 || tag == 34264 || tag == 34735 || tag == 34736 || tag == 34737;
}

bool leadsToDirectory(quint16 tag, quint16 type)
{
    return tag == exifIfd || tag == gpsIfd || tag == interopIfd || tag == subIfds || type == 13;
}

qint64 typeSize(quint16 type)
{
    static const int sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
    return type < std::size(sizes) ? sizes[type] : 0;
}

struct Range
{
    qint64 from, to;
};

struct Entry
{
    quint16 tag, type;
    qint64 count, at; // `at` is where the entry starts
};

// One walk over the pages and their sub-directories, noting what stays and what goes, then the
// result made from those notes.
class Pass
{
  public:
    Pass(const QByteArray& data, Drop drop, LocationRule& rule)
        : m_in(data), m_little(data.startsWith("II")), m_drop(drop), m_rule(rule)
    {
    }

    std::optional<QByteArray> run()
    {
        const std::optional<QList<qint64>> pages = chain();
        if (!pages || pages->isEmpty()) return std::nullopt;
        for (qint64 page : *pages)
            directory(page, false, 0);
        return result();
    }

    std::optional<QList<qint64>> chain()
    {
        QList<qint64> pages;
        for (qint64 at = u32(4); at != 0; at = u32(at + 2 + 12 * qint64(u16(at)))) {
            if (at < 8 || at + 2 > m_in.size() || m_pages.contains(at) || pages.size() > 100000)
                return std::nullopt;
            pages << at;
            m_pages.insert(at);
            if (at + 2 + 12 * qint64(u16(at)) + 4 > m_in.size()) return std::nullopt;
        }
        return pages;
    }

  private:
    quint32 u16(qint64 at) const
    {
        const auto b = [&](qint64 i) { return quint32(quint8(m_in[at + i])); };
        return m_little ? b(0) | b(1) << 8 : b(0) << 8 | b(1);
    }
    quint32 u32(qint64 at) const
    {
        return m_little ? u16(at) | u16(at + 2) << 16 : u16(at) << 16 | u16(at + 2);
    }
    QByteArray bytes32(quint32 v) const
    {
        QByteArray out(4, '\0');
        for (int i = 0; i < 4; ++i)
            out[m_little ? i : 3 - i] = char(v >> (8 * i));
        return out;
    }

    Range valueOf(const Entry& e) const
    {
        const qint64 size = typeSize(e.type) * e.count;
        if (size <= 4) return {e.at + 8, e.at + 8 + size};
        const qint64 from = u32(e.at + 8);
        return {from, std::min(from + size, qint64(m_in.size()))};
    }

    // The numbers an entry holds, for offsets and byte counts.
    QList<qint64> numbers(const Entry& e) const
    {
        QList<qint64> out;
        const Range r = valueOf(e);
        const qint64 size = typeSize(e.type);
        if (size != 2 && size != 4) return out;
        for (qint64 at = r.from; at + size <= r.to; at += size)
            out << (size == 2 ? u16(at) : u32(at));
        return out;
    }

    bool keeps(const Entry& e) const
    {
        if (m_drop == Drop::allTags) return TiffTags::showsThePage(e.tag);
        return e.tag != gpsIfd && !isGeoTiff(e.tag) && !m_rule.holdsLocation(text(e));
    }

    // The text of an entry as readers show it: ASCII, a user comment after its character set,
    // Windows' UCS-2 XP tags; empty for anything else.
    QString text(const Entry& e) const
    {
        const Range r = valueOf(e);
        if (r.from < 0 || r.to <= r.from) return {};
        QByteArray bytes = m_in.mid(r.from, r.to - r.from);
        if (e.type == 2) return QString::fromUtf8(bytes.replace('\0', ' '));
        if (e.tag == userComment && e.type == 7 && bytes.size() > 8) {
            const QByteArray set = bytes.left(8);
            bytes = bytes.mid(8);
            if (!set.startsWith("UNICODE")) return QString::fromUtf8(bytes.replace('\0', ' '));
            QString out;
            for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
                out += QChar(m_little ? quint16(quint8(bytes[i]) | quint8(bytes[i + 1]) << 8)
                                      : quint16(quint8(bytes[i]) << 8 | quint8(bytes[i + 1])));
            return out;
        }
        if (e.tag >= 0x9C9B && e.tag <= 0x9C9F && e.type == 1)
            return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
        return {};
    }

    // Walks the directory at `at`; `going` when it is left out as a whole. A pointer that leads
    // nowhere, or deeper than any real file nests, is left as it was.
    void directory(qint64 at, bool going, int depth)
    {
        if (depth > 8 || m_seen.contains(at) || (going && m_pages.contains(at))) return;
        m_seen.insert(at);
        if (at < 8 || at + 2 > m_in.size()) return;
        const qint64 count = u16(at), end = at + 2 + 12 * count + 4;
        if (end > m_in.size()) return;
        (going ? m_going : m_staying) << Range{at, end};
        QList<QByteArray> stay;
        QHash<quint16, Entry> kept;
        bool changed = false;
        for (qint64 i = 0; i < count; ++i) {
            const Entry e{quint16(u16(at + 2 + 12 * i)), quint16(u16(at + 4 + 12 * i)), u32(at + 6 + 12 * i),
                          at + 2 + 12 * i};
            const bool keep = !going && keeps(e);
            if (leadsToDirectory(e.tag, e.type))
                for (qint64 sub : numbers(e))
                    directory(sub, !keep, depth + 1);
            const QByteArray original = m_in.mid(e.at, 12);
            std::optional<QByteArray> entry = keep ? std::optional(original) : std::nullopt;
            if (keep && (e.tag == xmpPacket || e.tag == iptcRecords || e.tag == photoshopResources) &&
                m_drop == Drop::location)
                entry = withoutLocation(e);
            if (typeSize(e.type) * e.count > 4) (entry == original ? m_staying : m_going) << valueOf(e);
            changed = changed || entry != original;
            if (!entry) continue;
            kept.insert(e.tag, e);
            stay << *entry;
        }
        for (const auto& [offsets, counts] :
             {std::pair(stripOffsets, stripCounts), std::pair(tileOffsets, tileCounts),
              std::pair(jpegFormat, jpegLength)}) {
            const QList<qint64> from = numbers(kept.value(offsets)), size = numbers(kept.value(counts));
            for (qint64 i = 0; i < std::min(from.size(), size.size()); ++i)
                m_staying << Range{from[i], from[i] + size[i]};
        }
        if (!going && changed) m_rewrites << std::pair(at, stay);
    }

    // The entry of an XMP packet, IPTC records or a Photoshop resource block, pointing at a copy
    // without the location when they hold one; none when that copy is empty or they cannot be
    // read and may hold one.
    std::optional<QByteArray> withoutLocation(const Entry& e)
    {
        const Range r = valueOf(e);
        QByteArray entry = m_in.mid(e.at, 12);
        const QByteArray value = m_in.mid(r.from, r.to - r.from);
        std::optional<QByteArray> kept = e.tag == xmpPacket     ? LocationBlocks::xmp(value, m_rule)
                                         : e.tag == iptcRecords ? LocationBlocks::iptc(value, m_rule)
                                                                : LocationBlocks::photoshop(value, m_rule);
        if (!kept) return entry;
        if (kept->isEmpty()) return std::nullopt;
        // XMP goes as bytes; IPTC records keep their type (readers expect longs), padded to it.
        const quint16 type = e.tag == xmpPacket || typeSize(e.type) == 0 ? 1 : e.type;
        const qsizetype unit = qsizetype(typeSize(type));
        kept->append(QByteArray((unit - kept->size() % unit) % unit, '\0'));
        const qint64 where = m_in.size() + m_appended.size() + (m_in.size() + m_appended.size()) % 2;
        m_appended.append(QByteArray((m_in.size() + m_appended.size()) % 2, '\0'));
        m_appended.append(*kept);
        entry.replace(2, 2, bytes32(type).mid(m_little ? 0 : 2, 2));
        entry.replace(4, 4, bytes32(quint32(kept->size() / unit)));
        entry.replace(8, 4, bytes32(quint32(where)));
        return entry;
    }

    QByteArray result() const
    {
        QByteArray out = m_in;
        QList<Range> staying = m_staying;
        std::sort(staying.begin(), staying.end(), [](Range a, Range b) { return a.from < b.from; });
        for (const Range& r : m_going) {
            qint64 at = std::max<qint64>(r.from, 8);
            for (const Range& s : staying) {
                if (s.to <= at) continue;
                if (s.from >= r.to) break;
                if (s.from > at) std::fill(out.begin() + at, out.begin() + s.from, '\0');
                at = std::max(at, s.to);
            }
            if (at < r.to) std::fill(out.begin() + at, out.begin() + r.to, '\0');
        }
        for (const auto& [at, entries] : m_rewrites) {
            const qint64 end = at + 2 + 12 * qint64(u16(at)) + 4;
            QByteArray ifd = bytes32(quint32(entries.size())).mid(m_little ? 0 : 2, 2);
            for (const QByteArray& e : entries)
                ifd += e;
            ifd += m_in.mid(end - 4, 4);
            ifd.append(QByteArray(end - at - ifd.size(), '\0'));
            out.replace(at, ifd.size(), ifd);
        }
        return out + m_appended;
    }

    const QByteArray& m_in;
    const bool m_little;
    const Drop m_drop;
    LocationRule& m_rule;
    QSet<qint64> m_pages, m_seen;
    QList<Range> m_staying, m_going;
    QList<std::pair<qint64, QList<QByteArray>>> m_rewrites;
    QByteArray m_appended;
};

bool isClassicTiff(const QByteArray& data)
{
    return data.size() >= 8 &&
           (data.startsWith(QByteArrayLiteral("II*\0")) || data.startsWith(QByteArrayLiteral("MM\0*")));
}

} // namespace

namespace TiffTags {

std::optional<QByteArray> without(const QByteArray& data, Drop drop)
{
    LocationRule rule;
    if (!isClassicTiff(data)) return std::nullopt;
    return Pass(data, drop, rule).run();
}

std::optional<QByteArray> withoutLocation(const QByteArray& data, LocationRule& rule)
{
    if (!isClassicTiff(data)) return std::nullopt;
    return Pass(data, Drop::location, rule).run();
}

int pageCount(const QByteArray& data)
{
    if (!isClassicTiff(data)) return 0;
    LocationRule rule;
    const std::optional<QList<qint64>> pages = Pass(data, Drop::allTags, rule).chain();
    return pages ? int(pages->size()) : 0;
}

bool showsThePage(quint16 tag)
{
    static const QSet<quint16> tags{254, 255, 256, 257, 258, 259, 262, 263, 264, 265,  266, 273, 274,
                                    277, 278, 279, 280, 281, 282, 283, 284, 290, 291,  292, 293, 296,
                                    297, 301, 317, 318, 319, 320, 321, 322, 323, 324,  325, 330, 332,
                                    333, 334, 336, 338, 339, 340, 341, 342, 347, 512,  513, 514, 515,
                                    517, 518, 519, 520, 521, 529, 530, 531, 532, 34675};
    return tags.contains(tag);
}

} // namespace TiffTags
