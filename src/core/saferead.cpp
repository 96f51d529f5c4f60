#include "core/saferead.h"

#include "core/archivenames.h"
#include "core/entryreader.h"
#include "core/libarchive.h"

#include <QFile>
#include <QFileInfo>
#include <memory>

namespace {

using namespace ArchiveNames;

struct ReadDeleter
{
    void operator()(archive* a) const { LibArchive::get().readFree(a); }
};

class Reader
{
  public:
    Reader(const QString& archivePath, const ExtractLimits& limits)
        : m_archivePath(archivePath), m_name(QFileInfo(archivePath).fileName()), m_limits(limits),
          m_in(m_lib.readNew())
    {
    }

    QMap<QString, QByteArray> run()
    {
        m_lib.readSupportFormatAll(m_in.get());
        m_lib.readSupportFilterAll(m_in.get());
        if (m_lib.readOpenFilename(m_in.get(), QFile::encodeName(m_archivePath).constData(), 64 * 1024) !=
            ARCHIVE_OK)
            refuse(errorText(m_in.get()));
        QMap<QString, QByteArray> files;
        for (;;) {
            archive_entry* entry = nullptr;
            const int status = m_lib.readNextHeader(m_in.get(), &entry);
            if (status == ARCHIVE_EOF) break;
            if (status < ARCHIVE_WARN) refuse(errorText(m_in.get()));
            if (++m_entries > m_limits.maxEntries)
                refuse(QStringLiteral("it holds more than %1 entries").arg(m_limits.maxEntries));
            if (m_lib.entrySizeIsSet(entry)) count(m_declared, m_lib.entrySize(entry));
            const QByteArray name = entryText(m_lib.entryPathname(entry), m_lib.entryPathnameUtf8(entry));
            const Components parts = split(name);
            if (const auto why = escapes(name, parts)) refuse(*why);
            const bool regular = m_lib.entryFiletype(entry) == AE_IFREG && !m_lib.entryHardlink(entry) &&
                                 !m_lib.entryHardlinkUtf8(entry);
            if (!regular || parts.isEmpty()) {
                if (m_lib.readDataSkip(m_in.get()) < ARCHIVE_WARN) refuse(errorText(m_in.get()));
                continue;
            }
            files.insert(QFile::decodeName(parts.join('/')), data(name, entry));
        }
        return files;
    }

  private:
    [[noreturn]] void refuse(const QString& reason) const { throw unpackFailure(m_name, reason); }

    void count(qint64& total, qint64 bytes) const
    {
        if (bytes > m_limits.maxBytes - total)
            refuse(QStringLiteral("it unpacks to more than %1 bytes").arg(m_limits.maxBytes));
        total += qMax<qint64>(bytes, 0);
    }

    QByteArray data(const QByteArray& name, archive_entry* entry)
    {
        const qint64 declared = m_lib.entrySizeIsSet(entry) ? m_lib.entrySize(entry) : -1;
        EntryReader reader(m_in.get(), m_name, name, declared,
                           [this](qint64 bytes) { count(m_read, bytes); });
        QByteArray bytes;
        if (declared > 0) bytes.reserve(qsizetype(declared));
        while (const std::optional<EntryReader::Block> block = reader.next()) {
            // Sparse data: the gap before the block reads as zeros, and counts as unpacked.
            if (block->offset > bytes.size()) {
                const qint64 gap = block->offset - bytes.size();
                count(m_read, gap);
                bytes.append(qsizetype(gap), '\0');
            }
            bytes.append(static_cast<const char*>(block->data), qsizetype(block->size));
        }
        return bytes;
    }

    const LibArchive& m_lib = LibArchive::get();
    QString m_archivePath;
    QString m_name;
    ExtractLimits m_limits;
    std::unique_ptr<archive, ReadDeleter> m_in;
    qint64 m_entries = 0;
    qint64 m_declared = 0;
    qint64 m_read = 0;
};

} // namespace

QMap<QString, QByteArray> readSafely(const QString& archive, const ExtractLimits& limits)
{
    return Reader(archive, limits).run();
}
