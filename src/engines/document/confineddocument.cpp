#include "engines/document/confineddocument.h"

#include "engines/document/pictures.h"
#include "engines/image/svgsafety.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextBlock>
#include <QTextCursor>
#include <QUrl>

namespace {

// The bytes a data: address carries ("data:[type][;base64],payload"). Decoded here: the base
// class would hand an SVG to the picture decoder before it could be looked at.
QByteArray dataContents(const QUrl& url)
{
    const QString path = url.path(QUrl::FullyEncoded);
    const qsizetype comma = path.indexOf(QLatin1Char(','));
    if (comma < 0) return {};
    const QByteArray payload = QByteArray::fromPercentEncoding(path.mid(comma + 1).toLatin1());
    return path.left(comma).endsWith(QLatin1String(";base64"), Qt::CaseInsensitive)
               ? QByteArray::fromBase64(payload)
               : payload;
}

} // namespace

namespace Doc {

std::optional<QString> fileInside(const QString& folder, const QString& address)
{
    if (folder.isEmpty() || address.isEmpty()) return std::nullopt;
    const QUrl url(address);
    if (!url.isValid() || !url.scheme().isEmpty() || !url.host().isEmpty() || url.path().isEmpty() ||
        url.path().startsWith(QLatin1Char('/')))
        return std::nullopt;
    const QString root = QFileInfo(folder).canonicalFilePath();
    const QFileInfo file(QDir(root).filePath(url.path()));
    const QString real = file.canonicalFilePath();
    if (root.isEmpty() || real.isEmpty() || !real.startsWith(root + QLatin1Char('/'))) return std::nullopt;
    // A pipe or a device would never end.
    if (!QFileInfo(real).isFile()) return std::nullopt;
    return real;
}

void leaveOutMissingPictures(QTextDocument& document)
{
    QList<std::pair<int, int>> missing; // position and length
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isImageFormat() && !pictureSize(document, format.toImageFormat().name()))
                missing.append({it.fragment().position(), it.fragment().length()});
        }
    QTextCursor cursor(&document);
    for (auto at = missing.crbegin(); at != missing.crend(); ++at) {
        cursor.setPosition(at->first);
        cursor.setPosition(at->first + at->second, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
}

ConfinedDocument::ConfinedDocument(const QString& folder) : m_folder(folder) {}

QVariant ConfinedDocument::loadResource(int type, const QUrl& name)
{
    if (name.scheme().compare(QLatin1String("data"), Qt::CaseInsensitive) == 0) {
        const QByteArray bytes = dataContents(name);
        return type == ImageResource ? QVariant(Svg::confined(bytes)) : QVariant(bytes);
    }
    const auto path = fileInside(m_folder, name.toString());
    if (!path) return {};
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    // The encoded bytes, not the pixels: a document of many photographs would otherwise hold them
    // all decoded at once.
    const QVariant loaded = type == ImageResource ? QVariant(Svg::confined(bytes)) : QVariant(bytes);
    addResource(type, name, loaded);
    return loaded;
}

} // namespace Doc
