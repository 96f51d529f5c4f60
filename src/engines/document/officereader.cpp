#include "engines/document/officereader.h"

#include "core/converterror.h"
#include "core/libreoffice/iwork.h"
#include "core/output.h"
#include "core/scratchfolder.h"
#include "engines/document/flatodf.h"
#include "engines/document/reader.h"
#include "engines/document/textdecoding.h"
#include "engines/text/regex.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString failurePrefix = QStringLiteral("LibreOffice couldn’t convert the file. ");

// The file LibreOffice reads: an RTFD package's text lives in its TXT.rtf.
QString officeInput(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isDir()) return info.absoluteFilePath();
    const QString rtf = QDir(info.absoluteFilePath()).filePath(QStringLiteral("TXT.rtf"));
    if (!QFileInfo(rtf).isFile())
        throw ConvertError::failed(
            QStringLiteral("Couldn’t read “%1”: it holds no document").arg(info.fileName()));
    return rtf;
}

// The one file with `extension` that LibreOffice wrote into `folder`.
QByteArray converted(const QString& folder, const QString& extension)
{
    const QStringList files = QDir(folder).entryList({QStringLiteral("*.") + extension}, QDir::Files);
    if (files.size() != 1)
        throw ConvertError::failed(failurePrefix + QStringLiteral("It produced no output."));
    QFile file(QDir(folder).filePath(files.first()));
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        throw ConvertError::failed(failurePrefix + QStringLiteral("It produced no output."));
    return file.readAll();
}

} // namespace

namespace Doc {

std::unique_ptr<QTextDocument> readThroughOffice(const QString& path, Job* job)
{
    // LibreOffice's HTML shows every tracked change as text and splits words at floating
    // pictures, so the document goes through its flat XML first, where that is put right.
    const ScratchFolder flat =
        IWork::convertInto(officeInput(path), QStringLiteral("fodt:OpenDocument Text Flat XML"), job);
    const ScratchFolder settled;
    const QString settledPath = settled.file(QStringLiteral("document.fodt"));
    Output::writeFile(settledPath, FlatOdf::settled(converted(flat.path(), QStringLiteral("fodt"))));
    const ScratchFolder out = IWork::convertInto(settledPath, QStringLiteral("html:HTML (StarWriter)"), job);
    // LibreOffice starts a new line after each picture, which would end a picture's paragraph
    // with a space. The pictures are read while the document is made, before the folder goes.
    const QString html = decodeText(converted(out.path(), QStringLiteral("html")), true);
    return attributed(Regex::replace(html, QStringLiteral("(?i)(<img\\b[^>]*>)\\s+(?=</p>)"),
                                     [](const QStringList& g) { return g[1]; }),
                      out.path());
}

} // namespace Doc
