#include "core/olefile.h"

#include <QtEndian>
#include <algorithm>

namespace {

// Sector numbers from here up mark the end of a chain, a free sector or a table's own sectors.
constexpr quint32 firstSpecial = 0xFFFFFFFA;
// Streams below the cutoff live in the mini stream; nothing that small needs more than this.
constexpr qint64 maxMiniStream = 16 << 20;

quint32 u32(const QByteArray& bytes, qint64 at)
{
    return at >= 0 && at + 4 <= bytes.size() ? qFromLittleEndian<quint32>(bytes.constData() + at)
                                             : firstSpecial;
}

quint16 u16(const QByteArray& bytes, qint64 at)
{
    return at >= 0 && at + 2 <= bytes.size() ? qFromLittleEndian<quint16>(bytes.constData() + at) : 0;
}

QList<quint32> words(const QByteArray& bytes)
{
    QList<quint32> out;
    out.reserve(bytes.size() / 4);
    for (qint64 at = 0; at + 4 <= bytes.size(); at += 4)
        out.append(u32(bytes, at));
    return out;
}

} // namespace

std::optional<OleFile> OleFile::open(const QString& path)
{
    OleFile file(path);
    if (!file.load()) return std::nullopt;
    return file;
}

OleFile::OleFile(const QString& path) : m_file(std::make_shared<QFile>(path)) {}

bool OleFile::load()
{
    if (!m_file->open(QIODevice::ReadOnly)) return false;
    const QByteArray header = m_file->read(512);
    if (header.size() < 512 || !header.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) return false;
    const quint16 shift = u16(header, 0x1E);
    if ((shift != 9 && shift != 12) || u16(header, 0x20) != 6) return false;
    m_sectorSize = qint64(1) << shift;
    m_miniCutoff = u32(header, 0x38);
    // No table or chain is longer than the file has sectors.
    const qint64 sectors = m_file->size() / m_sectorSize;

    // The allocation table's sectors: the first 109 named in the header, the rest in a chain.
    const qint64 fatCount = std::min<qint64>(u32(header, 0x2C), sectors);
    QList<quint32> fatSectors;
    for (int i = 0; i < 109 && fatSectors.size() < fatCount; ++i)
        fatSectors.append(u32(header, 0x4C + 4 * i));
    quint32 next = u32(header, 0x44);
    for (qint64 hops = 0; fatSectors.size() < fatCount && next < firstSpecial && hops < sectors; ++hops) {
        const QByteArray block = sector(next, m_sectorSize);
        if (block.size() < m_sectorSize) break;
        const qint64 perBlock = m_sectorSize / 4 - 1;
        for (qint64 i = 0; i < perBlock && fatSectors.size() < fatCount; ++i)
            fatSectors.append(u32(block, 4 * i));
        next = u32(block, 4 * perBlock);
    }
    for (const quint32 s : fatSectors)
        m_fat += words(sector(s, m_sectorSize));

    m_miniFat = words(chainBytes(u32(header, 0x3C), m_fat, m_sectorSize,
                                 std::min<qint64>(u32(header, 0x40), sectors) * m_sectorSize, nullptr));
    const QByteArray directory =
        chainBytes(u32(header, 0x30), m_fat, m_sectorSize, sectors * m_sectorSize, nullptr);
    for (qint64 at = 0; at + 128 <= directory.size(); at += 128) {
        const auto type = quint8(directory.at(at + 0x42));
        if (type != 2 && type != 5) continue; // streams and the root, whose chain is the mini stream
        const qint64 units = std::clamp<qint64>(u16(directory, at + 0x40) / 2 - 1, 0, 31);
        QString name;
        for (qint64 i = 0; i < units; ++i)
            name += QChar(u16(directory, at + 2 * i));
        // Files with 512-byte sectors may leave garbage in the size's high half.
        const Entry entry{name, u32(directory, at + 0x74), qint64(u32(directory, at + 0x78))};
        if (type == 5)
            m_root = entry;
        else
            m_entries.append(entry);
    }
    return !directory.isEmpty();
}

bool OleFile::has(const QString& stream) const
{
    return find(stream) != nullptr;
}

QByteArray OleFile::read(const QString& name, qint64 length) const
{
    const Entry* entry = find(name);
    if (!entry) return {};
    length = std::min(length, entry->size);
    if (entry->size >= m_miniCutoff) return chainBytes(entry->start, m_fat, m_sectorSize, length, nullptr);
    const QByteArray mini =
        chainBytes(m_root.start, m_fat, m_sectorSize, std::min(m_root.size, maxMiniStream), nullptr);
    return chainBytes(entry->start, m_miniFat, m_miniSectorSize, length, &mini);
}

QByteArray OleFile::sector(quint32 index, qint64 size) const
{
    if (index >= firstSpecial || !m_file->seek((qint64(index) + 1) * m_sectorSize)) return {};
    return m_file->read(size);
}

QByteArray OleFile::chainBytes(quint32 start, const QList<quint32>& table, qint64 unit, qint64 length,
                               const QByteArray* store) const
{
    QByteArray bytes;
    // A chain that loops is cut where it has visited as many blocks as the table has.
    for (quint32 at = start, hops = 0;
         bytes.size() < length && at < quint32(table.size()) && hops < quint32(table.size());
         at = table.at(at), ++hops) {
        const QByteArray block = store ? store->mid(qint64(at) * unit, unit) : sector(at, unit);
        if (block.isEmpty()) break;
        bytes += block;
    }
    bytes.truncate(length);
    return bytes;
}

const OleFile::Entry* OleFile::find(const QString& name) const
{
    const auto it = std::find_if(m_entries.cbegin(), m_entries.cend(), [&](const Entry& e) {
        return e.name.compare(name, Qt::CaseInsensitive) == 0;
    });
    return it == m_entries.cend() ? nullptr : &*it;
}
