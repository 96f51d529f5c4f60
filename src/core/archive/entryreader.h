#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

struct archive;

// The data of an archive's current entry, block by block, as the unpacker and the archive copy
// read it, trusted only while it holds together: a block libarchive doubts (a bad checksum, sizes
// that disagree), data past the size the entry declares, or data that end short of it fail the
// archive with "<entry> in <archive> is damaged".
class EntryReader
{
  public:
    struct Block
    {
        const void* data = nullptr;
        qint64 size = 0;
        qint64 offset = 0;
    };

    // `declared` is the entry's size, or -1 when the archive gives none. `count` is told the size
    // of every block before the block is checked, so that a bound on what is unpacked is met first.
    EntryReader(archive* in, const QString& archiveName, const QByteArray& entryName, qint64 declared,
                std::function<void(qint64 bytes)> count);

    // The next block, or none at the entry's end. Throws ConvertError::failed: the damage above,
    // or "Couldn’t unpack <archive>: <reason>" for data that can't be read at all (an unknown
    // method, a password, a broken stream).
    std::optional<Block> next();

  private:
    [[noreturn]] void damaged() const;

    archive* m_in;
    QString m_archiveName;
    QByteArray m_entryName;
    qint64 m_declared;
    std::function<void(qint64)> m_count;
    qint64 m_end = 0; // where the data seen so far end
};
