#include "engines/document/officereader.h"

#include "core/converterror.h"
#include "core/libreoffice/iwork.h"
#include "core/scratchfolder.h"
#include "engines/document/reader.h"
#include "engines/document/textdecoding.h"

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

QString convertedHtml(const QString& folder)
{
    const QStringList pages = QDir(folder).entryList({QStringLiteral("*.html")}, QDir::Files);
    if (pages.size() != 1)
        throw ConvertError::failed(failurePrefix + QStringLiteral("It produced no output."));
    QFile file(QDir(folder).filePath(pages.first()));
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        throw ConvertError::failed(failurePrefix + QStringLiteral("It produced no output."));
    return Doc::decodeText(file.readAll(), true);
}

} // namespace

namespace Doc {

std::unique_ptr<QTextDocument> readThroughOffice(const QString& path, Job* job)
{
    const ScratchFolder out =
        IWork::convertInto(officeInput(path), QStringLiteral("html:HTML (StarWriter)"), job);
    // The pictures are read while the document is made, before the folder goes.
    return attributed(convertedHtml(out.path()), out.path());
}

} // namespace Doc
