#include "engines/document/pictures.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QSet>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>

namespace {

Doc::Picture encodedPNG(const QString& name, const QImage& image)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return {name, buffer.data(), QStringLiteral("image/png"), QStringLiteral("png"), image.size()};
}

std::optional<Doc::Picture> fromBytes(const QString& name, const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    const QSize size = reader.size();
    if ((format == "png" || format == "jpeg") && size.isValid())
        return Doc::Picture{name, bytes, QLatin1String("image/") + QLatin1String(format),
                            QLatin1String(format), size};
    const QImage image = reader.read();
    if (image.isNull()) return std::nullopt;
    return encodedPNG(name, image);
}

} // namespace

namespace Doc {

std::optional<Picture> picture(const QTextDocument& document, const QString& name)
{
    const QVariant resource = document.resource(QTextDocument::ImageResource, QUrl(name));
    QImage image;
    switch (resource.typeId()) {
    case QMetaType::QByteArray:
        return fromBytes(name, resource.toByteArray());
    case QMetaType::QImage:
        image = resource.value<QImage>();
        break;
    case QMetaType::QPixmap:
        image = resource.value<QPixmap>().toImage();
        break;
    default:
        return std::nullopt;
    }
    if (image.isNull()) return std::nullopt;
    return encodedPNG(name, image);
}

std::optional<QSize> pictureSize(const QTextDocument& document, const QString& name)
{
    const QVariant resource = document.resource(QTextDocument::ImageResource, QUrl(name));
    QSize size;
    if (resource.typeId() == QMetaType::QByteArray) {
        QBuffer buffer;
        buffer.setData(resource.toByteArray());
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        size = reader.size();
        if (!size.isValid()) size = reader.read().size();
    } else if (resource.typeId() == QMetaType::QImage) {
        size = resource.value<QImage>().size();
    } else if (resource.typeId() == QMetaType::QPixmap) {
        size = resource.value<QPixmap>().size();
    }
    if (size.isEmpty()) return std::nullopt;
    return size;
}

QSizeF shownSize(const QTextImageFormat& format, const QSize& own, double maxWidth)
{
    double w = format.hasProperty(QTextFormat::ImageWidth) ? format.width() : 0;
    double h = format.hasProperty(QTextFormat::ImageHeight) ? format.height() : 0;
    const double ratio = double(own.height()) / qMax(1, own.width());
    if (w <= 0 && h <= 0) {
        w = own.width();
        h = own.height();
    } else if (h <= 0) {
        h = w * ratio;
    } else if (w <= 0) {
        w = h / ratio;
    }
    if (w > maxWidth) {
        h *= maxWidth / w;
        w = maxWidth;
    }
    return {qMax(1.0, w), qMax(1.0, h)};
}

QList<Picture> pictures(const QTextDocument& document)
{
    QList<Picture> found;
    QSet<QString> seen;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat()) continue;
            const QString name = format.toImageFormat().name();
            if (seen.contains(name)) continue;
            seen.insert(name);
            if (auto picture = Doc::picture(document, name)) found.append(*picture);
        }
    return found;
}

} // namespace Doc
