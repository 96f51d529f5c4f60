#include "engines/image/pixelbudget.h"

#include "core/converterror.h"
#include "core/job.h"
#include "engines/image/heif.h"
#include "engines/image/imageengine.h"
#include "engines/image/svgsafety.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QSvgRenderer>
#include <algorithm>

namespace {

// Whole copies of the pixels a conversion holds at its most, measured on 8000 × 8000 pictures
// and A0 pages: the decoded picture and one copy (Poppler's bitmap beside the page, a picture
// flattened for JPEG, turned upright or converted for the PDF and WebP writers). The HEIF
// writers let the decoded picture go before encoding; libheif's picture, its YCbCr planes and the
// encoders' own frames come to about four copies (15000 × 15000 pictures).
int copies(const QString& target)
{
    return target == QLatin1String("heic") || target == QLatin1String("avif") ? 4 : 2;
}

// The size load() draws a drawing at; nothing without the graphics layer, which it needs.
QSize drawingSize(const QString& path)
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QSvgRenderer renderer(Svg::confined(file.readAll()));
    if (!renderer.isValid()) return {};
    const QSizeF points = renderer.defaultSize();
    const QSizeF pixels = points * ImageEngine::drawingScale(points);
    if (!(pixels.width() * pixels.height() <= double(ImageEngine::maxPixels))) return {};
    return pixels.toSize();
}

} // namespace

namespace PixelBudget {

qint64 bytes(QSize size, QImage::Format format)
{
    if (size.isEmpty()) return 0;
    const int depth = std::max(1, int(QImage::toPixelFormat(format).bitsPerPixel()));
    // QImage pads each line to 32 bits.
    return (qint64(size.width()) * depth + 31) / 32 * 4 * size.height();
}

qint64 charge(QSize size, QImage::Format format, const QString& target)
{
    return bytes(size, format) * copies(target);
}

qint64 charge(const QString& path, const QString& target)
{
    if (QFileInfo(path).suffix().toLower() == QLatin1String("svg"))
        return charge(drawingSize(path), QImage::Format_ARGB32_Premultiplied, target);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return 0;
    // Decoded as RGB or RGBA, three or four bytes: the larger is counted.
    if (Heif::recognizes(file.read(64))) return charge(Heif::size(path), QImage::Format_RGBA8888, target);
    file.close();
    QImageReader reader(path);
    if (reader.format().startsWith("svg")) return charge(drawingSize(path), QImage::Format_ARGB32, target);
    const QImage::Format format = reader.imageFormat();
    return charge(reader.size(), format == QImage::Format_Invalid ? QImage::Format_ARGB32 : format, target);
}

MemoryBudget::Share take(qint64 bytes, const Job& job, MemoryBudget& budget)
{
    job.throwIfCancelled();
    std::optional<MemoryBudget::Share> share =
        budget.take(std::min(bytes, budget.capacity()), [&job] { return job.isCancelled(); });
    if (!share) throw ConvertError::cancelled();
    return std::move(*share);
}

} // namespace PixelBudget
