#include "engines/document/propertylist.h"

#include <QDateTime>
#include <QSet>
#include <QXmlStreamReader>
#include <QtEndian>
#include <bit>

namespace {

constexpr int maxDepth = 64;
constexpr int maxVisits = 1000000;

class XmlReader
{
  public:
    explicit XmlReader(const QByteArray& bytes) : m_xml(bytes) {}

    std::optional<QVariant> top()
    {
        while (m_xml.readNextStartElement())
            if (m_xml.name() == QLatin1String("plist")) {
                if (!m_xml.readNextStartElement()) return std::nullopt;
                return value(0);
            }
        return std::nullopt;
    }

  private:
    // The value whose start element the reader is on; leaves the reader on its end element.
    std::optional<QVariant> value(int depth)
    {
        if (depth > maxDepth) return std::nullopt;
        const QStringView name = m_xml.name();
        if (name == QLatin1String("dict")) return dict(depth);
        if (name == QLatin1String("array")) return array(depth);
        if (name == QLatin1String("true") || name == QLatin1String("false")) {
            const bool on = name == QLatin1String("true");
            m_xml.skipCurrentElement();
            return QVariant(on);
        }
        const QString text = m_xml.readElementText();
        if (m_xml.hasError()) return std::nullopt;
        if (name == QLatin1String("string")) return QVariant(text);
        if (name == QLatin1String("data")) return QVariant(QByteArray::fromBase64(text.toLatin1()));
        if (name == QLatin1String("integer")) return QVariant(text.trimmed().toLongLong());
        if (name == QLatin1String("real")) return QVariant(text.trimmed().toDouble());
        if (name == QLatin1String("date"))
            return QVariant(QDateTime::fromString(text.trimmed(), Qt::ISODate));
        return std::nullopt;
    }

    std::optional<QVariant> dict(int depth)
    {
        QVariantMap map;
        while (m_xml.readNextStartElement()) {
            if (m_xml.name() != QLatin1String("key")) return std::nullopt;
            const QString key = m_xml.readElementText();
            if (!m_xml.readNextStartElement()) return std::nullopt;
            const auto item = value(depth + 1);
            if (!item) return std::nullopt;
            map.insert(key, *item);
        }
        if (m_xml.hasError()) return std::nullopt;
        return QVariant(map);
    }

    std::optional<QVariant> array(int depth)
    {
        QVariantList list;
        while (m_xml.readNextStartElement()) {
            const auto item = value(depth + 1);
            if (!item) return std::nullopt;
            list.append(*item);
        }
        if (m_xml.hasError()) return std::nullopt;
        return QVariant(list);
    }

    QXmlStreamReader m_xml;
};

// The binary form: objects found through an offset table described by the last 32 bytes.
class BinaryReader
{
  public:
    explicit BinaryReader(const QByteArray& bytes) : m_bytes(bytes) {}

    std::optional<QVariant> top()
    {
        if (m_bytes.size() < 40) return std::nullopt;
        const qsizetype trailer = m_bytes.size() - 32;
        m_offsetSize = quint8(m_bytes[trailer + 6]);
        m_refSize = quint8(m_bytes[trailer + 7]);
        const auto count = unsignedAt(trailer + 8, 8), topObject = unsignedAt(trailer + 16, 8),
                   table = unsignedAt(trailer + 24, 8);
        if (!count || !topObject || !table || m_offsetSize < 1 || m_offsetSize > 8 || m_refSize < 1 ||
            m_refSize > 8 || *count > quint64(trailer) || *table > quint64(trailer) ||
            *count * m_offsetSize > quint64(trailer) - *table)
            return std::nullopt;
        m_count = *count;
        m_table = qsizetype(*table);
        return object(*topObject, 0);
    }

  private:
    std::optional<quint64> unsignedAt(qsizetype at, int size) const
    {
        if (at < 0 || size < 1 || size > 8 || at + size > m_bytes.size()) return std::nullopt;
        quint64 v = 0;
        for (int i = 0; i < size; ++i)
            v = (v << 8) | quint8(m_bytes[at + i]);
        return v;
    }

    // The length in a marker's low nibble, or the integer object after it when the nibble is 0xF.
    std::optional<quint64> length(qsizetype& at, quint8 marker) const
    {
        if ((marker & 0x0F) != 0x0F) return marker & 0x0F;
        if (at >= m_bytes.size() || (quint8(m_bytes[at]) & 0xF0) != 0x10) return std::nullopt;
        const int size = 1 << (quint8(m_bytes[at]) & 0x0F);
        const auto n = unsignedAt(at + 1, size);
        at += 1 + size;
        return n;
    }

    std::optional<QVariant> object(quint64 ref, int depth)
    {
        // Shared objects are expanded at each use, so the visits are bounded as well as the depth.
        if (ref >= m_count || depth > maxDepth || m_open.contains(ref) || ++m_visits > maxVisits)
            return std::nullopt;
        const auto offset = unsignedAt(m_table + qsizetype(ref) * m_offsetSize, m_offsetSize);
        if (!offset || *offset >= quint64(m_bytes.size())) return std::nullopt;
        m_open.insert(ref);
        auto result = objectAt(qsizetype(*offset), depth);
        m_open.remove(ref);
        return result;
    }

    std::optional<QVariant> objectAt(qsizetype at, int depth)
    {
        const quint8 marker = quint8(m_bytes[at++]);
        switch (marker >> 4) {
        case 0x0:
            if (marker == 0x08 || marker == 0x09) return QVariant(marker == 0x09);
            return std::nullopt;
        case 0x1:
            if (const auto v = unsignedAt(at, 1 << (marker & 0x0F))) return QVariant(qint64(*v));
            return std::nullopt;
        case 0x2:
            return real(at, 1 << (marker & 0x0F));
        case 0x3:
            if (const auto seconds = real(at, 8))
                return QVariant(QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC)
                                    .addMSecs(qint64(seconds->toDouble() * 1000)));
            return std::nullopt;
        case 0x4:
        case 0x5:
        case 0x6:
            return bytesAt(at, marker);
        case 0xA:
        case 0xD:
            return collection(at, marker, depth);
        }
        return std::nullopt;
    }

    std::optional<QVariant> real(qsizetype at, int size) const
    {
        const auto bits = unsignedAt(at, size);
        if (!bits) return std::nullopt;
        if (size == 4) return QVariant(double(std::bit_cast<float>(quint32(*bits))));
        if (size == 8) return QVariant(std::bit_cast<double>(*bits));
        return std::nullopt;
    }

    std::optional<QVariant> bytesAt(qsizetype at, quint8 marker) const
    {
        const auto n = length(at, marker);
        const quint64 unit = (marker >> 4) == 0x6 ? 2 : 1;
        if (!n || *n > quint64(m_bytes.size()) || at + qsizetype(*n * unit) > m_bytes.size())
            return std::nullopt;
        const QByteArray raw = m_bytes.mid(at, qsizetype(*n * unit));
        switch (marker >> 4) {
        case 0x4:
            return QVariant(raw);
        case 0x5:
            return QVariant(QString::fromLatin1(raw));
        default: {
            QString text(qsizetype(*n), Qt::Uninitialized);
            for (qsizetype i = 0; i < qsizetype(*n); ++i)
                text[i] = QChar(qFromBigEndian<quint16>(raw.constData() + 2 * i));
            return QVariant(text);
        }
        }
    }

    std::optional<QVariant> collection(qsizetype at, quint8 marker, int depth)
    {
        const auto n = length(at, marker);
        const bool isDict = (marker >> 4) == 0xD;
        const quint64 refs = isDict ? 2 : 1;
        if (!n || *n > m_count || at + qsizetype(*n * refs * m_refSize) > m_bytes.size()) return std::nullopt;
        QVariantList items;
        QVariantMap map;
        for (quint64 i = 0; i < *n; ++i) {
            const auto valueRef = unsignedAt(at + qsizetype((i + (isDict ? *n : 0)) * m_refSize), m_refSize);
            const auto value = valueRef ? object(*valueRef, depth + 1) : std::nullopt;
            if (!value) return std::nullopt;
            if (!isDict) {
                items.append(*value);
                continue;
            }
            const auto keyRef = unsignedAt(at + qsizetype(i * m_refSize), m_refSize);
            const auto key = keyRef ? object(*keyRef, depth + 1) : std::nullopt;
            if (!key || key->typeId() != QMetaType::QString) return std::nullopt;
            map.insert(key->toString(), *value);
        }
        return isDict ? QVariant(map) : QVariant(items);
    }

    const QByteArray& m_bytes;
    int m_offsetSize = 0, m_refSize = 0;
    quint64 m_count = 0;
    qsizetype m_table = 0;
    QSet<quint64> m_open;
    int m_visits = 0;
};

} // namespace

namespace PropertyList {

std::optional<QVariant> read(const QByteArray& bytes)
{
    if (bytes.startsWith("bplist00")) return BinaryReader(bytes).top();
    return XmlReader(bytes).top();
}

} // namespace PropertyList
