#include "core/archive/archiveinput.h"

#include "core/archive/archivenames.h"
#include "core/archive/libarchive.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>

void ArchiveInput::Free::operator()(archive* a) const
{
    LibArchive::get().readFree(a);
}

ArchiveInput::ArchiveInput(const QString& path, const ExtractLimits& limits, std::size_t blockSize)
    : m_name(QFileInfo(path).fileName()), m_limits(limits), m_in(LibArchive::get().readNew())
{
    const LibArchive& lib = LibArchive::get();
    lib.readSupportFormatAll(m_in.get());
    lib.readSupportFilterAll(m_in.get());
    if (lib.readOpenFilename(m_in.get(), QFile::encodeName(path).constData(), blockSize) == ARCHIVE_OK)
        return;
    // Opening reads only enough to recognise the format; libarchive says it doesn't know one
    // with EILSEQ, its code for an unrecognised file format.
    if (lib.errorNumber(m_in.get()) == EILSEQ) refuse(notAnArchive());
    refuse(ArchiveNames::errorText(m_in.get()));
}

ArchiveInput::~ArchiveInput() = default;

archive_entry* ArchiveInput::next()
{
    const LibArchive& lib = LibArchive::get();
    archive_entry* entry = nullptr;
    const int status = lib.readNextHeader(m_in.get(), &entry);
    if (m_entries == 0 && status >= ARCHIVE_WARN) refuseNonArchive();
    if (status == ARCHIVE_EOF) return nullptr;
    if (status < ARCHIVE_WARN) refuse(ArchiveNames::errorText(m_in.get()));
    if (++m_entries > m_limits.maxEntries)
        refuse(QStringLiteral("it holds more than %1 entries").arg(m_limits.maxEntries));
    if (lib.entrySizeIsSet(entry)) count(m_declared, lib.entrySize(entry));
    return entry;
}

QByteArray ArchiveInput::entryName(archive_entry* entry) const
{
    const LibArchive& lib = LibArchive::get();
    QByteArray name = ArchiveNames::entryText(lib.entryPathname(entry), lib.entryPathnameUtf8(entry));
    if ((lib.format(m_in.get()) & ARCHIVE_FORMAT_BASE_MASK) != ARCHIVE_FORMAT_ZIP) return name;
    // libarchive hands the bytes of an unflagged name over as they are. Names the Mac's archiver
    // writes are UTF-8 without the flag; those in code page 437 are hardly ever valid UTF-8.
    return name.isValidUtf8() ? name : ArchiveNames::fromCodePage437(name);
}

void ArchiveInput::countUnpacked(qint64 bytes)
{
    count(m_unpacked, bytes);
}

void ArchiveInput::refuse(const QString& reason) const
{
    throw ArchiveNames::unpackFailure(m_name, reason);
}

QString ArchiveInput::notAnArchive()
{
    return QStringLiteral("it isn’t an archive");
}

void ArchiveInput::refuseNonArchive() const
{
    // libarchive takes an empty file for an archive of nothing, and lines of words for a
    // manifest of files found elsewhere (mtree); neither holds anything to unpack.
    switch (LibArchive::get().format(m_in.get()) & ARCHIVE_FORMAT_BASE_MASK) {
    case ARCHIVE_FORMAT_EMPTY:
        refuse(QStringLiteral("the file is empty, not an archive"));
    case ARCHIVE_FORMAT_MTREE:
        refuse(notAnArchive());
    default:
        return;
    }
}

void ArchiveInput::count(qint64& total, qint64 bytes) const
{
    if (bytes > m_limits.maxBytes - total)
        refuse(QStringLiteral("it unpacks to more than %1 bytes").arg(m_limits.maxBytes));
    total += qMax<qint64>(bytes, 0);
}
