#pragma once

#include "core/archive/safeextract.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <memory>

struct archive;
struct archive_entry;

// An archive opened for reading, in any format and compression libarchive knows, whose entries
// are counted against limits as they come: how many there are, the sizes they declare and the
// bytes really unpacked. Every refusal is "Couldn’t unpack <archive name>: <reason>".
class ArchiveInput
{
  public:
    // Reads `path` in blocks of `blockSize` bytes; refuses an archive that can't be opened, and a
    // file that is no archive ("it isn’t an archive", "the file is empty, not an archive").
    ArchiveInput(const QString& path, const ExtractLimits& limits, std::size_t blockSize);
    ~ArchiveInput();
    ArchiveInput(const ArchiveInput&) = delete;
    ArchiveInput& operator=(const ArchiveInput&) = delete;

    archive* get() const { return m_in.get(); }
    // The archive's file name, as messages give it.
    const QString& name() const { return m_name; }

    // The next entry, or null at the end. Refuses a header that can't be read, more entries than
    // the limits allow, and declared sizes that together go past them.
    archive_entry* next();
    // The path of `entry`, an entry of this archive, as bytes for the file system: UTF-8 where
    // the archive says how its names are written or they already are UTF-8; the name of a zip
    // entry that is neither (from Windows Explorer, old zip programs) read as code page 437.
    QByteArray entryName(archive_entry* entry) const;
    // Counts bytes really unpacked (the entries' data); refuses past the limit.
    void countUnpacked(qint64 bytes);

    [[noreturn]] void refuse(const QString& reason) const;

  private:
    struct Free
    {
        void operator()(archive* a) const;
    };

    void count(qint64& total, qint64 bytes) const;
    // Refuses what libarchive reads although it is no archive: an empty file, a text.
    void refuseNonArchive() const;
    static QString notAnArchive();

    QString m_name;
    ExtractLimits m_limits;
    std::unique_ptr<archive, Free> m_in;
    qint64 m_entries = 0;
    qint64 m_declared = 0;
    qint64 m_unpacked = 0;
};
