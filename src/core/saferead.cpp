#include "core/saferead.h"

#include "core/archiveinput.h"
#include "core/archivenames.h"
#include "core/entryreader.h"
#include "core/libarchive.h"

#include <QFile>

namespace {

using namespace ArchiveNames;

// The entry's data, exactly as much as it declares.
QByteArray data(ArchiveInput& input, const QByteArray& name, archive_entry* entry)
{
    const LibArchive& lib = LibArchive::get();
    const qint64 declared = lib.entrySizeIsSet(entry) ? lib.entrySize(entry) : -1;
    EntryReader reader(input.get(), input.name(), name, declared,
                       [&input](qint64 bytes) { input.countUnpacked(bytes); });
    QByteArray bytes;
    if (declared > 0) bytes.reserve(qsizetype(declared));
    while (const std::optional<EntryReader::Block> block = reader.next()) {
        // Sparse data: the gap before the block reads as zeros, and counts as unpacked.
        if (block->offset > bytes.size()) {
            const qint64 gap = block->offset - bytes.size();
            input.countUnpacked(gap);
            bytes.append(qsizetype(gap), '\0');
        }
        bytes.append(static_cast<const char*>(block->data), qsizetype(block->size));
    }
    return bytes;
}

} // namespace

QMap<QString, QByteArray> readSafely(const QString& archive, const ExtractLimits& limits)
{
    const LibArchive& lib = LibArchive::get();
    ArchiveInput input(archive, limits, 64 * 1024);
    QMap<QString, QByteArray> files;
    while (archive_entry* entry = input.next()) {
        const QByteArray name = entryText(lib.entryPathname(entry), lib.entryPathnameUtf8(entry));
        const Components parts = split(name);
        if (const auto why = escapes(name, parts)) input.refuse(*why);
        const bool regular = lib.entryFiletype(entry) == AE_IFREG && !lib.entryHardlink(entry) &&
                             !lib.entryHardlinkUtf8(entry);
        if (!regular || parts.isEmpty()) {
            if (lib.readDataSkip(input.get()) < ARCHIVE_WARN) input.refuse(errorText(input.get()));
            continue;
        }
        files.insert(QFile::decodeName(parts.join('/')), data(input, name, entry));
    }
    return files;
}
