#pragma once

// Fixtures of the archive, sheet, package, slides, subtitle and instant-tool tests.

#include "core/converterror.h"
#include "core/job.h"
#include "engines/converter.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <archive.h>
#include <archive_entry.h>
#include <functional>
#include <optional>

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

inline QByteArray png(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// The error `work` ends with, if any.
inline std::optional<ConvertError> failure(const std::function<void()>& work)
{
    try {
        work();
    } catch (const ConvertError& e) {
        return e;
    }
    return std::nullopt;
}

inline QString message(const std::function<void()>& work)
{
    const std::optional<ConvertError> error = failure(work);
    return error ? error->message() : QStringLiteral("<no error>");
}

inline QStringList convert(const QString& source, const QString& target)
{
    Job job(QString(), QString(), 0);
    return Converter::convert(source, target, job, [](double) {});
}

// An archive member: a file, a folder (name ending in "/") or a symbolic link to `data`.
struct Member
{
    QByteArray name;
    QByteArray data;
    bool link = false;
};
using Members = QList<Member>;

// A zip (or tar) of `members`, written by libarchive so that names no packer writes are possible.
inline QString writeArchive(const QString& path, const Members& members, bool tar = false)
{
    archive* a = archive_write_new();
    tar ? archive_write_set_format_pax_restricted(a) : archive_write_set_format_zip(a);
    archive_write_open_filename(a, QFile::encodeName(path).constData());
    for (const Member& m : members) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, m.name.constData());
        archive_entry_set_filetype(e, m.name.endsWith('/') ? AE_IFDIR : m.link ? AE_IFLNK : AE_IFREG);
        archive_entry_set_perm(e, 0644);
        if (m.link) archive_entry_set_symlink(e, m.data.constData());
        archive_entry_set_size(e, m.link || m.name.endsWith('/') ? 0 : m.data.size());
        archive_write_header(a, e);
        archive_write_data(a, m.data.constData(), archive_entry_size(e));
        archive_entry_free(e);
    }
    archive_write_free(a);
    return path;
}

// A private temporary folder for the code under test, and beside it one for the test's own files.
struct ScratchTmp
{
    QTemporaryDir root;
    const QString path = root.filePath("tmp"), files = root.filePath("files");
    ScratchTmp()
    {
        QDir().mkpath(path);
        QDir().mkpath(files);
        qputenv("TMPDIR", QFile::encodeName(path));
    }
    // What the code under test left in its temporary folder; the test's own files are removed.
    QStringList leftovers()
    {
        QDir(files).removeRecursively();
        QDir().mkpath(files);
        return entries(path);
    }
};
