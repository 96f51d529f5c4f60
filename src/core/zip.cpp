#include "core/zip.h"

#include "core/checkedfile.h"
#include "core/converterror.h"
#include "core/output.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <unistd.h>
#include <utility>
#include <zlib.h>

namespace {

// A part path must name a place inside the folder the archive is unpacked into.
bool isPartPath(const QString& path)
{
    if (path.isEmpty() || path.startsWith(QLatin1Char('/'))) return false;
    const QStringList names = path.split(QLatin1Char('/'));
    return std::none_of(names.begin(), names.end(), [](const QString& name) {
        return name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..");
    });
}

// A file and a folder of the same name can't both be unpacked.
bool clashes(const QStringList& names)
{
    QSet<QString> folders;
    for (const QString& name : names)
        for (qsizetype slash = name.indexOf(QLatin1Char('/')); slash >= 0;
             slash = name.indexOf(QLatin1Char('/'), slash + 1))
            folders.insert(name.left(slash));
    return std::any_of(names.begin(), names.end(),
                       [&](const QString& name) { return folders.contains(name); });
}

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

struct Entry
{
    QByteArray name;
    quint32 crc = 0, compressedSize = 0, size = 0;
    bool deflated = false;
    quint64 offset = 0;
};

// Raw deflate at the level `zip -9` used, one stream reset for each part of an archive (a
// package may hold thousands of small parts), or nothing when deflating doesn't make the part
// smaller (pictures, empty parts), which is then stored as zip stores it.
class Deflater
{
  public:
    Deflater()
    {
        if (deflateInit2(&m_z, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw ConvertError::failed(QStringLiteral("Couldn’t start compressing the archive"));
    }
    ~Deflater() { deflateEnd(&m_z); }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    std::optional<QByteArray> deflated(const QByteArray& bytes)
    {
        if (bytes.isEmpty() || deflateReset(&m_z) != Z_OK) return std::nullopt;
        QByteArray out(qsizetype(deflateBound(&m_z, uLong(bytes.size()))), Qt::Uninitialized);
        m_z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData()));
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

  private:
    z_stream m_z{};
};

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

// Writes the entries of one archive in the order given, then its central directory; zip64
// records are added only where an archive outgrows the classic fields.
class ArchiveWriter
{
  public:
    explicit ArchiveWriter(CheckedFile& file) : m_file(file), m_stamp(dosTimeNow()) {}

    void add(const QString& name, const QByteArray& bytes, bool compress)
    {
        Entry entry;
        entry.name = name.toUtf8();
        entry.size = quint32(bytes.size());
        entry.crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(bytes.constData()), uInt(bytes.size())));
        entry.offset = quint64(m_at);
        const std::optional<QByteArray> packed = compress ? m_deflater.deflated(bytes) : std::nullopt;
        entry.deflated = packed.has_value();
        const QByteArray& data = packed ? *packed : bytes;
        entry.compressedSize = quint32(data.size());

        QByteArray header;
        put32(header, 0x04034b50);
        put16(header, entry.deflated ? 20 : 10);
        fields(header, entry);
        put16(header, 0); // no extra field
        header += entry.name;
        append(header);
        append(data);
        m_entries.append(std::move(entry));
    }

    void finish()
    {
        const quint64 directoryStart = quint64(m_at);
        for (const Entry& entry : m_entries) {
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

  private:
    // The fields local headers and central records share, from the flags to the name's length.
    void fields(QByteArray& out, const Entry& entry) const
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

    void append(const QByteArray& bytes)
    {
        m_file.write(bytes);
        m_at += bytes.size();
    }

    CheckedFile& m_file;
    const std::pair<quint16, quint16> m_stamp;
    Deflater m_deflater;
    QList<Entry> m_entries;
    qint64 m_at = 0;
};

} // namespace

namespace Zip {

void write(const QMap<QString, QByteArray>& parts, const QString& outputPath,
           const std::optional<QString>& mimetype)
{
    QStringList names;
    for (auto it = parts.keyBegin(); it != parts.keyEnd(); ++it) {
        if (!isPartPath(*it))
            throw ConvertError::failed(QStringLiteral("Can’t write the package part “%1”").arg(*it));
        // A given mimetype stands for the part of that name.
        if (!mimetype || *it != QLatin1String("mimetype")) names.append(*it);
    }
    if (clashes(names))
        throw ConvertError::failed(
            QStringLiteral("Can’t write a package part and a folder of the same name"));
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.toUcs4() < b.toUcs4(); });

    const QString output = QFileInfo(outputPath).absoluteFilePath();
    const QFileInfo existing(output);
    if (existing.isSymLink() || !existing.isDir()) QFile::remove(output);
    const QByteArray encoded = QFile::encodeName(output);
    try {
        CheckedFile file(output, CheckedFile::Existing::refuse);
        try {
            ArchiveWriter archive(file);
            if (mimetype) archive.add(QStringLiteral("mimetype"), mimetype->toUtf8(), false);
            for (const QString& name : names)
                archive.add(name, parts.value(name), true);
            archive.finish();
        } catch (...) {
            ::unlink(encoded.constData());
            throw;
        }
    } catch (const ConvertError& e) {
        throw Output::explained(e, QFileInfo(output).path());
    }
}

ScratchFolder extract(const QString& archivePath, const ExtractLimits& limits)
{
    ScratchFolder folder;
    extractSafely(archivePath, folder.path(), limits);
    return folder;
}

} // namespace Zip
