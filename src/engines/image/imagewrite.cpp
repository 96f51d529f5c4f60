#include "engines/image/gifwriter.h"
#include "engines/image/heif.h"
#include "engines/image/iccprofile.h"
#include "engines/image/imageengine.h"
#include "engines/image/pngwriter.h"

#include "core/checkedfile.h"
#include "core/converterror.h"
#include "core/scratchfolder.h"
#include "core/settings.h"
#include "core/shell.h"

#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QPdfWriter>
#include <cmath>

namespace {

QString upper(const QString& format)
{
    return format.toUpper();
}

// zlib level 4 for the images our own writer leaves to Qt: photographs come out as small as at
// the default level in two thirds of the time; drawings and screenshots about one percent larger.
constexpr int pngQuality = 50;

int dotsPerMeter(double dpi)
{
    return int(std::lround(dpi / 0.0254));
}

// Gives the image the resolution its file should declare: the carried one, else 72 dpi (an
// image without one must not pick up Qt's screen default). Only an image shared with another
// QImage has its pixels copied.
void setResolution(QImage& image, const ImageProps& props)
{
    image.setDotsPerMeterX(dotsPerMeter(props.dpiX().value_or(72)));
    image.setDotsPerMeterY(dotsPerMeter(props.dpiY().value_or(props.dpiX().value_or(72))));
}

// The properties with the pixel size of the image they now describe.
ImageProps describing(const ImageProps& props, const QImage& image)
{
    ImageProps out = props;
    if (out.value(QStringLiteral("Exif.Photo.PixelXDimension"))) {
        out.setValue(QStringLiteral("Exif.Photo.PixelXDimension"), QString::number(image.width()));
        out.setValue(QStringLiteral("Exif.Photo.PixelYDimension"), QString::number(image.height()));
    }
    return out;
}

// Qt's TIFF encoder writes a palette without its alpha: a palette image with transparent colours
// goes as 32-bit colour with alpha instead.
QImage withAlphaKept(const QImage& image)
{
    if (image.colorCount() == 0 || !image.hasAlphaChannel()) return image;
    return image.convertToFormat(QImage::Format_ARGB32);
}

// Qt's encoders: `setting` is the quality for JPEG and PNG (for PNG it picks the zlib level,
// 100 storing without compression) and the compression for TIFF (1 = LZW). The file is encoded
// in memory and then written: libpng and libtiff would print their own words about a failed
// write on standard error, where the plain failure is said once.
void writeQt(const QImage& image, const QString& path, const QString& format, const QByteArray& qtFormat,
             int setting)
{
    // Streamed to the file; a write that fails is absorbed so that the encoder finishes without
    // printing its own error, and finish() reports the real cause.
    CheckedFile file(path);
    file.absorbFailures();
    QImageWriter writer(&file, qtFormat);
    if (qtFormat == "tiff")
        writer.setCompression(setting);
    else
        writer.setQuality(setting);
    // Qt's encoders write whatever profile the picture holds; pixels are copied only to drop one
    // that doesn't fit.
    const bool written = writer.write(IccProfile::forEncoder(image, qtFormat));
    if (!written && file.error() == 0)
        throw ConvertError::failed(QStringLiteral("Couldn’t encode %1").arg(upper(format)));
    file.finish();
}

// A portable arbitrary map: a short header and the raw 8-bit RGB or RGBA rows.
void writePAM(const QImage& image, const QString& path)
{
    const bool alpha = image.hasAlphaChannel();
    const QImage rows = image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    CheckedFile file(path);
    const QByteArray header =
        QStringLiteral("P7\nWIDTH %1\nHEIGHT %2\nDEPTH %3\nMAXVAL 255\nTUPLTYPE %4\nENDHDR\n")
            .arg(rows.width())
            .arg(rows.height())
            .arg(alpha ? 4 : 3)
            .arg(alpha ? "RGB_ALPHA" : "RGB")
            .toLatin1();
    bool ok = !rows.isNull() && file.write(header) == header.size();
    const qint64 rowBytes = qint64(rows.width()) * (alpha ? 4 : 3);
    for (int y = 0; ok && y < rows.height(); ++y)
        ok = file.write(reinterpret_cast<const char*>(rows.constScanLine(y)), rowBytes) == rowBytes;
    file.finish();
    if (!ok) throw ConvertError::failed(QStringLiteral("Couldn’t encode WEBP"));
}

} // namespace

namespace ImageEngine {

int percent(double quality)
{
    return int(std::lround(std::clamp(std::isfinite(quality) ? quality : 1.0, 0.0, 1.0) * 100));
}

std::optional<QString> uti(const QString& format)
{
    static const QHash<QString, QString> types{
        {"jpg", "image/jpeg"},  {"png", "image/png"}, {"heic", "image/heic"}, {"avif", "image/avif"},
        {"tiff", "image/tiff"}, {"bmp", "image/bmp"}, {"gif", "image/gif"}};
    const auto it = types.constFind(format);
    return it == types.cend() ? std::nullopt : std::optional<QString>(*it);
}

QImage flatten(const QImage& image, const QColor& color)
{
    if (!image.hasAlphaChannel()) return image;
    QImage out(image.size(), QImage::Format_RGB32);
    if (out.isNull()) return image;
    out.fill(color);
    QPainter painter(&out);
    painter.drawImage(0, 0, image);
    painter.end();
    out.setColorSpace(image.colorSpace());
    out.setDotsPerMeterX(image.dotsPerMeterX());
    out.setDotsPerMeterY(image.dotsPerMeterY());
    return out;
}

QImage withoutText(const QImage& image)
{
    if (image.textKeys().isEmpty()) return image;
    // QImage can't forget its text: a new image over the same pixels, which holds a reference
    // to them until it goes. Read-only pixels are copied before anything draws into them.
    auto* owner = new QImage(image);
    QImage out(
        owner->constBits(), owner->width(), owner->height(), owner->bytesPerLine(), owner->format(),
        [](void* info) { delete static_cast<QImage*>(info); }, owner);
    if (out.isNull()) {
        delete owner;
        throw ConvertError::failed(QStringLiteral("Out of memory"));
    }
    out.setColorTable(owner->colorTable());
    out.setColorSpace(owner->colorSpace());
    out.setDotsPerMeterX(owner->dotsPerMeterX());
    out.setDotsPerMeterY(owner->dotsPerMeterY());
    out.setOffset(owner->offset());
    out.setDevicePixelRatio(owner->devicePixelRatio());
    return out;
}

void write(QImage image, const QString& path, const QString& format, const ImageProps& props,
           std::optional<double> quality, double dpi)
{
    image = withoutText(image);
    const double q = quality.value_or(Settings::shared().imageQuality());
    if (format == QLatin1String("webp")) return writeWebP(image, path, q);
    if (format == QLatin1String("pdf")) return writePDF({image}, {dpi}, path);
    if (!uti(format))
        throw ConvertError::unsupported(QStringLiteral("Can’t write %1 images").arg(upper(format)));

    const ImageProps fields = describing(props, image);
    setResolution(image, props);
    const QImage& pixels = image;
    if (format == QLatin1String("heic") || format == QLatin1String("avif")) {
        const double lossy = format == QLatin1String("avif") ? std::max(q - 0.08, 0.5) : q;
        // Handed over whole: the encoder needs the memory more than this function needs the pixels.
        return Heif::write(IccProfile::forEncoder(std::move(image), "heif"), path, format, percent(lossy),
                           fields.exifBlock(), fields.xmpPacket());
    }
    if (format == QLatin1String("gif")) return GifWriter::write(pixels, path);
    if (format == QLatin1String("jpg"))
        writeQt(flatten(pixels, Qt::white), path, format, "jpeg", percent(q));
    else if (format == QLatin1String("tiff"))
        writeQt(withAlphaKept(pixels), path, format, "tiff", 1);
    else if (format == QLatin1String("png") && PngWriter::accepts(pixels))
        PngWriter::write(IccProfile::forEncoder(pixels, "png"), path);
    else if (format == QLatin1String("png"))
        writeQt(pixels, path, format, "png", pngQuality);
    else // Qt's BMP holds no alpha: transparent pixels would turn black
        writeQt(flatten(pixels, Qt::white), path, format, "bmp", -1);
    fields.embedInto(path);
}

void writeWebP(const QImage& image, const QString& path, double quality, Job* job)
{
    const auto cwebp = Shell::find(QStringLiteral("cwebp"));
    if (!cwebp)
        throw ConvertError::missingTool(
            QStringLiteral("WebP export needs cwebp. Install it with: sudo apt install webp"));
    // The intermediate copy is read once by cwebp: plain pixels, quickest to write and to read.
    // It holds no profile, and a WebP without one is shown as sRGB: colours another profile
    // describes are turned into sRGB first.
    ScratchFolder scratch;
    const QString pam = scratch.file(QStringLiteral("image.pam"));
    const bool otherColours = image.colorSpace().isValid() && image.colorSpace() != QColorSpace::SRgb;
    writePAM(otherColours ? image.convertedToColorSpace(QColorSpace::SRgb) : image, pam);
    const Shell::Result r =
        Shell::run(*cwebp, {"-quiet", "-mt", "-q", QString::number(percent(quality)), pam, "-o", path},
                   std::nullopt, job);
    if (r.status != 0) throw ConvertError::failed(Shell::failureText(*cwebp, r));
}

void writePDF(const QList<QImage>& images, const QList<double>& dpis, const QString& path)
{
    if (images.isEmpty()) throw ConvertError::failed(QStringLiteral("There are no pages to write"));
    const auto pageSize = [&](qsizetype i) {
        const double d = i < dpis.size() && dpis[i] > 0 ? dpis[i] : 72;
        return QSizeF(images[i].width() * 72 / d, images[i].height() * 72 / d);
    };
    CheckedFile file(path);
    QPdfWriter pdf(&file);
    pdf.setResolution(72); // one device pixel per point
    pdf.setCreator(QStringLiteral("Tolvane"));
    pdf.setPageMargins(QMarginsF());
    pdf.setPageSize(QPageSize(pageSize(0), QPageSize::Point, QString(), QPageSize::ExactMatch));
    QPainter painter;
    if (!painter.begin(&pdf)) throw ConvertError::failed(QStringLiteral("Couldn’t create the PDF"));
    for (qsizetype i = 0; i < images.size(); ++i) {
        if (i > 0) {
            pdf.setPageSize(QPageSize(pageSize(i), QPageSize::Point, QString(), QPageSize::ExactMatch));
            pdf.newPage();
        }
        painter.setRenderHint(QPainter::LosslessImageRendering);
        painter.drawImage(QRectF(QPointF(0, 0), pageSize(i)), images[i]);
    }
    if (!painter.end()) throw ConvertError::failed(QStringLiteral("Couldn’t create the PDF"));
    file.finish();
}

} // namespace ImageEngine
