#pragma once

// Fixtures of the archive, sheet, package, slides, subtitle and instant-tool tests.

#include "core/converterror.h"
#include "core/job.h"
#include "engines/converter.h"

#include "files.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <functional>
#include <optional>

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
