#pragma once

// Files and archives the tests make and read back.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <archive.h>
#include <archive_entry.h>

constexpr auto everything = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

inline QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(everything, QDir::Name);
}

inline QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Writes `bytes` at `path`, making its folder, and returns the path.
inline QString writeFile(const QString& path, const QByteArray& bytes = {})
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(bytes);
    return path;
}

// An archive member: a file ('f', a folder when the name ends in "/"), or a symbolic ('l') or
// hard ('h') link to `data`.
struct Member
{
    QByteArray name;
    QByteArray data;
    char kind = 'f';
};
using Members = QList<Member>;

// A zip (a tar when asked, or when it holds a hard link, which zips can't) of `members`, written
// by libarchive so that names no packer writes are possible.
inline QString writeArchive(const QString& path, const Members& members, bool tar = false)
{
    tar = tar || std::any_of(members.cbegin(), members.cend(), [](const Member& m) { return m.kind == 'h'; });
    archive* a = archive_write_new();
    tar ? archive_write_set_format_pax_restricted(a) : archive_write_set_format_zip(a);
    archive_write_open_filename(a, QFile::encodeName(path).constData());
    for (const Member& m : members) {
        archive_entry* e = archive_entry_new();
        const bool folder = m.name.endsWith('/');
        archive_entry_set_pathname(e, m.name.constData());
        archive_entry_set_filetype(e, folder ? AE_IFDIR : m.kind == 'l' ? AE_IFLNK : AE_IFREG);
        archive_entry_set_perm(e, folder ? 0755 : 0644);
        if (m.kind == 'l') archive_entry_set_symlink(e, m.data.constData());
        if (m.kind == 'h') archive_entry_set_hardlink(e, m.data.constData());
        archive_entry_set_size(e, m.kind == 'f' && !folder ? m.data.size() : 0);
        archive_write_header(a, e);
        archive_write_data(a, m.data.constData(), archive_entry_size(e));
        archive_entry_free(e);
    }
    archive_write_free(a);
    return path;
}

// `value` as little-endian bytes, as binary formats store their numbers.
template <typename T> QByteArray le(T value)
{
    QByteArray bytes(sizeof(T), '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

enum class ZipField { crc, size };

// Rewrites what the local and the central header of the zip entry `name` declare as its CRC or
// its unpacked size, as a damaged or a forged zip would.
inline void patchZipEntry(const QString& path, const QByteArray& name, ZipField field, quint32 value)
{
    struct Header
    {
        QByteArray signature;
        int nameLength, nameAt, crc, size;
    };
    QByteArray zip = readAll(path);
    for (const Header& h : {Header{"PK\x03\x04", 26, 30, 14, 22}, Header{"PK\x01\x02", 28, 46, 16, 24}})
        for (qsizetype at = zip.indexOf(h.signature); at >= 0 && at + h.nameAt < zip.size();
             at = zip.indexOf(h.signature, at + 4)) {
            const auto length = qFromLittleEndian<quint16>(zip.constData() + at + h.nameLength);
            if (zip.mid(at + h.nameAt, length) == name)
                qToLittleEndian(value, zip.data() + at + (field == ZipField::crc ? h.crc : h.size));
        }
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(zip);
}
