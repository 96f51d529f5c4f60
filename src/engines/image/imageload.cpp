#include "engines/image/heif.h"
#include "engines/image/imageengine.h"

#include "core/converterror.h"
#include "engines/image/cmykjpeg.h"
#include "engines/image/svgsafety.h"

#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>
#include <QTransform>
#include <cmath>
#include <mutex>

namespace {

QString fileName(const QString& path)
{
    return QFileInfo(path).fileName();
}

// Qt refuses images above 128 MB by default, which a 40-megapixel photo passes; the bound
// that matters is our own pixel count, checked before decoding where the header tells it.
void raiseAllocationLimit()
{
    static std::once_flag once;
    std::call_once(once,
                   [] { QImageReader::setAllocationLimit(int(ImageEngine::maxPixels * 8 / (1024 * 1024))); });
}

void checkSize(const QString& name, QSize size)
{
    if (qint64(size.width()) * size.height() > ImageEngine::maxPixels)
        throw ConvertError::failed(QStringLiteral("%1 is too large to open (%2 × %3 pixels)")
                                       .arg(name)
                                       .arg(size.width())
                                       .arg(size.height()));
}

// The pixels as the Exif orientation (1 to 8) asks them to be shown.
QImage upright(const QImage& image, int orientation)
{
    switch (orientation) {
    case 2:
        return image.mirrored(true, false);
    case 3:
        return image.transformed(QTransform().rotate(180));
    case 4:
        return image.mirrored(false, true);
    case 5:
        return image.mirrored(true, false).transformed(QTransform().rotate(270));
    case 6:
        return image.transformed(QTransform().rotate(90));
    case 7:
        return image.mirrored(true, false).transformed(QTransform().rotate(90));
    case 8:
        return image.transformed(QTransform().rotate(270));
    default:
        return image;
    }
}

ImageEngine::Loaded loadSVG(const QString& path)
{
    // Text in a drawing needs the font database, which only a GUI application object provides;
    // without one Qt would abort the process.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw ConvertError::failed(QStringLiteral(
            "SVG drawings can’t be converted here: Tolvane was started without its graphics layer"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw ConvertError::failed(QStringLiteral("Couldn’t read the SVG"));
    QSvgRenderer renderer(Svg::confined(file.readAll()));
    if (!renderer.isValid()) throw ConvertError::failed(QStringLiteral("Couldn’t read the SVG"));
    const QSizeF points = renderer.defaultSize();
    const double scale = ImageEngine::drawingScale(points);
    const QSizeF pixels = points * scale;
    if (!std::isfinite(pixels.width() * pixels.height()) ||
        pixels.width() * pixels.height() > double(ImageEngine::maxPixels))
        throw ConvertError::failed(QStringLiteral("%1 is too large to render (%2 × %3 points)")
                                       .arg(fileName(path))
                                       .arg(qRound64(points.width()))
                                       .arg(qRound64(points.height())));
    ImageEngine::Loaded out;
    out.image = ImageEngine::rasterize(renderer, pixels);
    out.dpi = 72 * scale;
    return out;
}

ImageEngine::Loaded loadHeif(const QString& path)
{
    const QString name = fileName(path);
    Heif::Picture picture = Heif::read(path, name, [&](QSize size) { checkSize(name, size); });
    ImageEngine::Loaded out;
    out.image = std::move(picture.image); // libheif has turned it upright already
    out.props = ImageProps::fromExif(picture.exif);
    out.dpi = out.props.dpiX().value_or(72);
    return out;
}

} // namespace

namespace ImageEngine {

Loaded load(const QString& path)
{
    const QString name = fileName(path);
    const auto unreadable = [&] {
        return ConvertError::failed(QStringLiteral("Couldn’t read %1 as an image").arg(name));
    };
    // Reading a pipe or a device would wait for ever or never end.
    if (!QFileInfo(path).isFile()) throw unreadable();
    if (QFileInfo(path).suffix().toLower() == QLatin1String("svg")) return loadSVG(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw unreadable();
    if (Heif::recognizes(file.read(64))) return loadHeif(path);
    file.close();

    raiseAllocationLimit();
    QImageReader reader(path);
    reader.setAutoTransform(false); // the Exif orientation is applied below, for every format alike
    if (!reader.canRead()) throw unreadable();
    if (reader.format().startsWith("svg")) return loadSVG(path);
    if (reader.size().isValid()) checkSize(name, reader.size());
    QImage image;
    if (reader.format() == "jpeg") {
        if (std::optional<QImage> cmyk =
                CmykJpeg::read(path, name, [&](QSize size) { checkSize(name, size); }))
            image = std::move(*cmyk);
    }
    if (image.isNull() && !reader.read(&image))
        throw ConvertError::failed(QStringLiteral("Couldn’t decode %1").arg(name));
    // A profile Qt can't apply (a CMYK one on pixels it made RGB, or a damaged one) describes
    // nothing the pixels are, and a copy must not carry it.
    if (!image.colorSpace().isValid()) image.setColorSpace(QColorSpace());
    Loaded out;
    out.props = ImageProps::read(path);
    out.image = upright(image, out.props.orientation());
    if (out.image.isNull()) throw ConvertError::failed(QStringLiteral("Couldn’t decode %1").arg(name));
    out.dpi = out.props.dpiX().value_or(72);
    return out;
}

double drawingScale(const QSizeF& points)
{
    const double m = std::max(points.width(), points.height());
    return m <= 1 ? 2048 : std::max(2048 / m, 2.0);
}

QImage rasterize(QSvgRenderer& renderer, const QSizeF& size)
{
    const int w = int(std::round(size.width())), h = int(std::round(size.height()));
    if (w <= 0 || h <= 0) throw ConvertError::failed(QStringLiteral("Out of memory"));
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) throw ConvertError::failed(QStringLiteral("Out of memory"));
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    renderer.render(&painter, QRectF(0, 0, w, h));
    painter.end();
    return image;
}

} // namespace ImageEngine
