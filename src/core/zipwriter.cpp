#include "core/zipwriter.h"

#include "core/checkedfile.h"
#include "core/converterror.h"

#include <QDateTime>
#include <QStringList>
#include <algorithm>
#include <optional>
#include <zlib.h>

namespace {

void put16(QByteArray& out, quint32 value)
{
    out.append(char(value & 0xff)).append(char((value >> 8) & 0xff));
}

void put32(QByteArray& out, quint32 value)
{
    put16(out, value & 0xffff);
    put16(out, value >> 16);
}

void put64(QByteArray& out, quint64 value)
{
    put32(out, quint32(value & 0xffffffffu));
    put32(out, quint32(value >> 32));
}

constexpr quint32 zip64Marker = 0xffffffffu;

// How much of a streamed entry is tried before it is deflated or stored, and the pieces its
// deflated data are written in.
constexpr qsizetype sampleSize = 256 * 1024;
constexpr qsizetype chunkSize = 64 * 1024;

// The time zip stamps an entry with: the local time now, to two seconds.
std::pair<quint16, quint16> dosTimeNow()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate date = now.date();
    const QTime time = now.time();
    const int year = std::clamp(date.year(), 1980, 2107);
    return {quint16((time.hour() << 11) | (time.minute() << 5) | (time.second() / 2)),
            quint16(((year - 1980) << 9) | (date.month() << 5) | date.day())};
}

// zlib takes a null buffer for a request of the initial value, whatever the crc so far.
quint32 crcOf(quint32 crc, QByteArrayView bytes)
{
    if (bytes.isEmpty()) return crc;
    return quint32(crc32_z(crc, reinterpret_cast<const Bytef*>(bytes.data()), size_t(bytes.size())));
}

} // namespace

struct ZipEntry
{
    QByteArray name;
    quint32 crc = 0, compressedSize = 0, size = 0;
    bool deflated = false;
    quint64 offset = 0;
};

// Raw deflate at the level `zip -9` used, one stream reset for each entry of an archive (a
// package may hold thousands of small parts).
class ZipDeflater
{
  public:
    ZipDeflater()
    {
        if (deflateInit2(&m_z, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw ConvertError::failed(QStringLiteral("Couldn’t start compressing the archive"));
    }
    ~ZipDeflater() { deflateEnd(&m_z); }
    ZipDeflater(const ZipDeflater&) = delete;
    ZipDeflater& operator=(const ZipDeflater&) = delete;

    // All of `bytes` deflated, or nothing when that doesn't make them smaller (pictures, empty
    // parts), which are then stored as zip stores them.
    std::optional<QByteArray> deflated(QByteArrayView bytes)
    {
        if (bytes.isEmpty()) return std::nullopt;
        reset();
        QByteArray out(qsizetype(deflateBound(&m_z, uLong(bytes.size()))), Qt::Uninitialized);
        m_z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
        m_z.avail_in = uInt(bytes.size());
        m_z.next_out = reinterpret_cast<Bytef*>(out.data());
        m_z.avail_out = uInt(out.size());
        if (deflate(&m_z, Z_FINISH) != Z_STREAM_END)
            throw ConvertError::failed(QStringLiteral("Couldn’t compress the archive"));
        const qsizetype written = qsizetype(m_z.total_out);
        if (written >= bytes.size()) return std::nullopt;
        out.truncate(written);
        return out;
    }

    void reset()
    {
        if (deflateReset(&m_z) != Z_OK)
            throw ConvertError::failed(QStringLiteral("Couldn’t compress the archive"));
    }

    // Deflates `bytes` as the next piece of one stream, handing out what comes out in chunks.
    void stream(QByteArrayView bytes, bool last, const std::function<void(QByteArrayView)>& out)
    {
        if (m_chunk.isEmpty()) m_chunk.resize(chunkSize);
        m_z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
        m_z.avail_in = uInt(bytes.size());
        for (;;) {
            m_z.next_out = reinterpret_cast<Bytef*>(m_chunk.data());
            m_z.avail_out = uInt(m_chunk.size());
            const int status = deflate(&m_z, last ? Z_FINISH : Z_NO_FLUSH);
            if (status == Z_STREAM_ERROR)
                throw ConvertError::failed(QStringLiteral("Couldn’t compress the archive"));
            const qsizetype produced = m_chunk.size() - qsizetype(m_z.avail_out);
            if (produced > 0) out(QByteArrayView(m_chunk.constData(), produced));
            if (last ? status == Z_STREAM_END : m_z.avail_in == 0 && m_z.avail_out > 0) return;
        }
    }

  private:
    z_stream m_z{};
    QByteArray m_chunk;
};

ZipWriter::ZipWriter(CheckedFile& file)
    : m_file(file), m_stamp(dosTimeNow()), m_deflater(std::make_unique<ZipDeflater>())
{
}

ZipWriter::~ZipWriter() = default;

void ZipWriter::check(const QString& name)
{
    const QStringList names = name.split(QLatin1Char('/'));
    if (name.startsWith(QLatin1Char('/')) || std::any_of(names.begin(), names.end(), [](const QString& n) {
            return n.isEmpty() || n == QLatin1String(".") || n == QLatin1String("..");
        }))
        throw ConvertError::failed(QStringLiteral("Can’t write the package part “%1”").arg(name));
    if (m_names.contains(name))
        throw ConvertError::failed(QStringLiteral("Can’t write the package part “%1” twice").arg(name));
    // A file and a folder of the same name can't both be unpacked.
    bool clash = m_folders.contains(name);
    for (qsizetype slash = name.indexOf(QLatin1Char('/')); slash >= 0;
         slash = name.indexOf(QLatin1Char('/'), slash + 1)) {
        const QString folder = name.left(slash);
        clash = clash || m_names.contains(folder);
        m_folders.insert(folder);
    }
    if (clash)
        throw ConvertError::failed(
            QStringLiteral("Can’t write a package part and a folder of the same name"));
    m_names.insert(name);
}

ZipEntry ZipWriter::start(const QString& name)
{
    check(name);
    ZipEntry entry;
    entry.name = name.toUtf8();
    entry.offset = quint64(m_at);
    return entry;
}

void ZipWriter::header(const ZipEntry& entry)
{
    QByteArray header;
    put32(header, 0x04034b50);
    put16(header, entry.deflated ? 20 : 10);
    fields(header, entry);
    put16(header, 0); // no extra field
    header += entry.name;
    append(header);
}

void ZipWriter::add(const QString& name, const QByteArray& bytes, bool compress)
{
    write(start(name), bytes, compress);
}

void ZipWriter::write(ZipEntry entry, const QByteArray& bytes, bool compress)
{
    entry.size = quint32(bytes.size());
    entry.crc = crcOf(0, bytes);
    const std::optional<QByteArray> packed = compress ? m_deflater->deflated(bytes) : std::nullopt;
    entry.deflated = packed.has_value();
    const QByteArray& data = packed ? *packed : bytes;
    entry.compressedSize = quint32(data.size());
    header(entry);
    append(data);
    m_entries.append(std::move(entry));
}

void ZipWriter::add(const QString& name, const std::function<QByteArrayView()>& next)
{
    ZipEntry entry = start(name);
    // The first pieces tell whether deflating pays; they are kept until it is known.
    QByteArray sample;
    QByteArrayView piece;
    while (sample.size() < sampleSize && !(piece = next()).isEmpty())
        sample += piece;
    if (sample.size() < sampleSize) return write(std::move(entry), sample, true);
    entry.deflated = m_deflater->deflated(sample).has_value();
    header(entry);

    qint64 size = 0, compressed = 0;
    quint32 crc = 0;
    const auto put = [&](QByteArrayView data) {
        append(data);
        compressed += data.size();
    };
    const auto take = [&](QByteArrayView data, bool last) {
        size += data.size();
        crc = crcOf(crc, data);
        if (entry.deflated)
            m_deflater->stream(data, last, put);
        else
            put(data);
    };
    if (entry.deflated) m_deflater->reset();
    take(sample, false);
    sample.clear();
    for (;;) {
        piece = next();
        take(piece, piece.isEmpty());
        if (piece.isEmpty()) break;
        if (size >= qint64(zip64Marker))
            throw ConvertError::failed(
                QStringLiteral("The package part “%1” is too large to write").arg(name));
    }
    entry.size = quint32(size);
    entry.crc = crc;
    entry.compressedSize = quint32(compressed);
    if (compressed >= qint64(zip64Marker))
        throw ConvertError::failed(QStringLiteral("The package part “%1” is too large to write").arg(name));

    // The header was written before its sizes were known: it is written again in place.
    const qint64 end = m_at;
    m_at = qint64(entry.offset);
    if (!m_file.seek(m_at)) throw ConvertError::failed(QStringLiteral("Couldn’t write the archive"));
    header(entry);
    if (!m_file.seek(end)) throw ConvertError::failed(QStringLiteral("Couldn’t write the archive"));
    m_at = end;
    m_entries.append(std::move(entry));
}

void ZipWriter::finish()
{
    const quint64 directoryStart = quint64(m_at);
    for (const ZipEntry& entry : m_entries) {
        const bool farOffset = entry.offset >= zip64Marker;
        QByteArray record;
        put32(record, 0x02014b50);
        put16(record, 0x031e); // made on Unix by zip 3.0
        put16(record, farOffset ? 45 : entry.deflated ? 20 : 10);
        fields(record, entry);
        put16(record, farOffset ? 12 : 0);
        put16(record, 0);              // comment
        put16(record, 0);              // disk
        put16(record, 0);              // internal attributes
        put32(record, 0100644u << 16); // a plain file, rw-r--r--
        put32(record, farOffset ? zip64Marker : quint32(entry.offset));
        record += entry.name;
        if (farOffset) {
            put16(record, 0x0001);
            put16(record, 8);
            put64(record, entry.offset);
        }
        append(record);
    }
    const quint64 directorySize = quint64(m_at) - directoryStart;
    const quint64 count = quint64(m_entries.size());
    const bool zip64 = count >= 0xffff || directoryStart >= zip64Marker || directorySize >= zip64Marker;
    QByteArray end;
    if (zip64) {
        const quint64 recordStart = quint64(m_at);
        put32(end, 0x06064b50);
        put64(end, 44);
        put16(end, 0x031e);
        put16(end, 45);
        put32(end, 0);
        put32(end, 0);
        put64(end, count);
        put64(end, count);
        put64(end, directorySize);
        put64(end, directoryStart);
        put32(end, 0x07064b50);
        put32(end, 0);
        put64(end, recordStart);
        put32(end, 1);
    }
    put32(end, 0x06054b50);
    put32(end, 0); // this disk and the directory's
    put16(end, zip64 ? 0xffff : quint32(count));
    put16(end, zip64 ? 0xffff : quint32(count));
    put32(end, zip64 ? zip64Marker : quint32(directorySize));
    put32(end, zip64 ? zip64Marker : quint32(directoryStart));
    put16(end, 0); // comment
    append(end);
    m_file.finish();
}

void ZipWriter::fields(QByteArray& out, const ZipEntry& entry) const
{
    const bool ascii = std::all_of(entry.name.begin(), entry.name.end(), [](char c) { return c >= 0; });
    put16(out, ascii ? 0 : 0x0800); // names not in ASCII are marked UTF-8
    put16(out, entry.deflated ? 8 : 0);
    put16(out, m_stamp.first);
    put16(out, m_stamp.second);
    put32(out, entry.crc);
    put32(out, entry.compressedSize);
    put32(out, entry.size);
    put16(out, quint32(entry.name.size()));
}

void ZipWriter::append(const QByteArray& bytes)
{
    append(QByteArrayView(bytes));
}

void ZipWriter::append(QByteArrayView bytes)
{
    m_file.write(bytes.data(), bytes.size());
    m_at += bytes.size();
}
