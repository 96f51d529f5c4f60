#include "engines/document/officereader.h"

#include "core/converterror.h"
#include "core/iwork.h"
#include "core/scratchfolder.h"
#include "engines/document/reader.h"
#include "engines/document/textdecoding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTextBlock>
#include <QUrl>

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

// The encoded bytes, not the pixels: a document of many photographs would otherwise hold them
// all decoded at once.
QByteArray pictureInside(const QString& name, const QString& root)
{
    const QUrl url(name);
    if (url.isEmpty() || !url.isRelative() || name.startsWith(QLatin1Char('/'))) return {};
    const QString real = QFileInfo(QDir(root).filePath(url.path())).canonicalFilePath();
    if (real.isEmpty() || !real.startsWith(root + QLatin1Char('/'))) return {};
    QFile file(real);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

namespace Doc {

void holdPictures(QTextDocument& document, const QString& folder)
{
    const QString root = QFileInfo(folder).canonicalFilePath();
    QSet<QString> held;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat()) continue;
            const QString name = format.toImageFormat().name();
            if (held.contains(name)) continue;
            held.insert(name);
            // Held even when null, so that the document never looks for the name elsewhere.
            document.addResource(QTextDocument::ImageResource, QUrl(name), pictureInside(name, root));
        }
}

std::unique_ptr<QTextDocument> readThroughOffice(const QString& path, Job* job)
{
    const ScratchFolder out =
        IWork::convertInto(officeInput(path), QStringLiteral("html:HTML (StarWriter)"), job);
    auto document = attributed(convertedHtml(out.path()));
    holdPictures(*document, out.path());
    return document;
}

} // namespace Doc
