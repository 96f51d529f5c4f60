#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

// An OLE compound file (the container of DOC, XLS and PPT files, and of OOXML files saved with a
// password), read only as far as a look at its streams needs. A damaged or hostile file reads as
// fewer or shorter streams, never as an error.
class OleFile
{
  public:
    // The compound file at `path`; none when it is no compound file or its header and directory
    // can't be read.
    static std::optional<OleFile> open(const QString& path);

    // Whether a stream of that name (compared without case, as the format does) is in the file.
    bool has(const QString& stream) const;
    // The first `length` bytes of the stream `name`, fewer when it is shorter; empty when absent.
    QByteArray read(const QString& name, qint64 length) const;

  private:
    struct Entry
    {
        QString name;
        quint32 start;
        qint64 size;
    };

    explicit OleFile(const QString& path);
    bool load();
    QByteArray sector(quint32 index, qint64 size) const;
    // The first `length` bytes of the chain of `unit`-sized blocks that starts at `start` in
    // `table`: sectors of the file, or blocks of `store` (the mini stream) when one is given.
    QByteArray chainBytes(quint32 start, const QList<quint32>& table, qint64 unit, qint64 length,
                          const QByteArray* store) const;
    const Entry* find(const QString& name) const;

    std::shared_ptr<QFile> m_file;
    qint64 m_sectorSize = 512;
    qint64 m_miniSectorSize = 64;
    qint64 m_miniCutoff = 4096;
    QList<quint32> m_fat;
    QList<quint32> m_miniFat;
    QList<Entry> m_entries;
    Entry m_root{};
};
