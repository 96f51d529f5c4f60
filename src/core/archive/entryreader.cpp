#include "core/archive/entryreader.h"

#include "core/archive/archivenames.h"
#include "core/archive/libarchive.h"
#include "core/converterror.h"

#include <QFile>

EntryReader::EntryReader(archive* in, const QString& archiveName, const QByteArray& entryName,
                         qint64 declared, std::function<void(qint64)> count)
    : m_in(in), m_archiveName(archiveName), m_entryName(entryName), m_declared(declared),
      m_count(std::move(count))
{
}

void EntryReader::damaged() const
{
    throw ConvertError::failed(
        QStringLiteral("%1 in %2 is damaged").arg(QFile::decodeName(m_entryName), m_archiveName));
}

std::optional<EntryReader::Block> EntryReader::next()
{
    const void* data = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    const int status = LibArchive::get().readDataBlock(m_in, &data, &size, &offset);
    if (status == ARCHIVE_EOF) {
        // The end's offset covers a hole after the last block of a sparse file; a reader that
        // gives something else there is held to the size it declared.
        if (m_declared >= 0 && std::max(m_end, std::min<qint64>(offset, m_declared)) != m_declared) damaged();
        return std::nullopt;
    }
    if (status < ARCHIVE_WARN)
        throw ArchiveNames::unpackFailure(m_archiveName, ArchiveNames::errorText(m_in));
    m_count(qint64(size));
    // A warning while reading data is libarchive doubting the data itself: a checksum or a size
    // that doesn't match.
    if (status != ARCHIVE_OK || offset < 0 || (m_declared >= 0 && offset + qint64(size) > m_declared))
        damaged();
    m_end = std::max(m_end, offset + qint64(size));
    return Block{data, qint64(size), offset};
}
