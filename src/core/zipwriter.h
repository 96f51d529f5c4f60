#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>
#include <utility>

class CheckedFile;
struct ZipEntry;
class ZipDeflater;

// A zip archive written entry by entry into a file, as zip writes it: no extra fields, names
// outside ASCII marked UTF-8, zip64 records only where the archive outgrows the classic fields.
// Every entry name is checked as it comes: one that is empty, absolute, holds "." or ".."
// components, comes twice, or is another's folder throws ConvertError::failed.
class ZipWriter
{
  public:
    explicit ZipWriter(CheckedFile& file);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // An entry holding `bytes`, deflated when `compress` and deflating makes it smaller.
    void add(const QString& name, const QByteArray& bytes, bool compress);
    // An entry whose data `next` gives piece by piece, an empty piece ending them, so that the
    // whole is never held: deflated unless its first pieces don't shrink (a picture, a film).
    // Data of 4 GiB or more are refused.
    void add(const QString& name, const std::function<QByteArrayView()>& next);
    // Writes the central directory and finishes the file (CheckedFile::finish).
    void finish();

  private:
    void check(const QString& name);
    ZipEntry start(const QString& name);
    void write(ZipEntry entry, const QByteArray& bytes, bool compress);
    void header(const ZipEntry& entry);
    // The fields local headers and central records share, from the flags to the name's length.
    void fields(QByteArray& out, const ZipEntry& entry) const;
    void append(const QByteArray& bytes);
    void append(QByteArrayView bytes);

    CheckedFile& m_file;
    const std::pair<quint16, quint16> m_stamp;
    std::unique_ptr<ZipDeflater> m_deflater;
    QList<ZipEntry> m_entries;
    QSet<QString> m_names, m_folders;
    qint64 m_at = 0;
};
