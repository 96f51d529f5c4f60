#include "engines/image/heif.h"

#include "core/checkedfile.h"
#include "core/converterror.h"
#include "engines/image/iccprofile.h"

#include <QColorSpace>
#include <QFile>
#include <QtEndian>
#include <cstring>
#include <libheif/heif.h>
#include <memory>
#include <mutex>

namespace {

// Rows converted at a time on the way into libheif's picture.
constexpr int bandRows = 64;

void setUpLibheif()
{
    static std::once_flag once;
    std::call_once(once, [] { heif_init(nullptr); });
}

template <typename T, void (*Free)(T*)> struct Freer
{
    void operator()(T* p) const { Free(p); }
};
using Context = std::unique_ptr<heif_context, Freer<heif_context, heif_context_free>>;
using Handle = std::unique_ptr<heif_image_handle, Freer<const heif_image_handle, heif_image_handle_release>>;
using Image = std::unique_ptr<heif_image, Freer<const heif_image, heif_image_release>>;
using Encoder = std::unique_ptr<heif_encoder, Freer<heif_encoder, heif_encoder_release>>;

// The Exif block of the image, skipping the offset that HEIF puts before its TIFF header.
QByteArray exifOf(const heif_image_handle* handle)
{
    heif_item_id id;
    if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) < 1) return {};
    QByteArray block(qsizetype(heif_image_handle_get_metadata_size(handle, id)), Qt::Uninitialized);
    if (block.size() < 4 || heif_image_handle_get_metadata(handle, id, block.data()).code != heif_error_Ok)
        return {};
    const quint32 offset = qFromBigEndian<quint32>(block.constData());
    if (offset > quint32(block.size() - 4)) return {};
    return block.mid(4 + qsizetype(offset));
}

QColorSpace colourSpaceOf(const heif_image_handle* handle)
{
    const size_t size = heif_image_handle_get_raw_color_profile_size(handle);
    if (size == 0) return {};
    QByteArray icc(qsizetype(size), Qt::Uninitialized);
    if (heif_image_handle_get_raw_color_profile(handle, icc.data()).code != heif_error_Ok) return {};
    return QColorSpace::fromIccProfile(icc);
}

} // namespace

namespace Heif {

bool recognizes(const QByteArray& head)
{
    if (head.size() < 12) return false;
    return heif_check_filetype(reinterpret_cast<const uint8_t*>(head.constData()), int(head.size())) ==
           heif_filetype_yes_supported;
}

Picture read(const QString& path, const QString& name, const std::function<void(QSize)>& checkSize)
{
    setUpLibheif();
    const auto unreadable = [&] {
        return ConvertError::failed(QStringLiteral("Couldn’t read %1 as an image").arg(name));
    };
    Context ctx(heif_context_alloc());
    if (heif_context_read_from_file(ctx.get(), QFile::encodeName(path).constData(), nullptr).code !=
        heif_error_Ok)
        throw unreadable();
    heif_image_handle* raw = nullptr;
    if (heif_context_get_primary_image_handle(ctx.get(), &raw).code != heif_error_Ok) throw unreadable();
    Handle handle(raw);
    checkSize(QSize(heif_image_handle_get_width(handle.get()), heif_image_handle_get_height(handle.get())));

    const bool alpha = heif_image_handle_has_alpha_channel(handle.get());
    heif_image* decoded = nullptr;
    if (heif_decode_image(handle.get(), &decoded, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, nullptr)
            .code != heif_error_Ok)
        throw ConvertError::failed(QStringLiteral("Couldn’t decode %1").arg(name));
    Image img(decoded);
    const int w = heif_image_get_width(img.get(), heif_channel_interleaved);
    const int h = heif_image_get_height(img.get(), heif_channel_interleaved);
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(img.get(), heif_channel_interleaved, &stride);
    QImage out(w, h, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    if (!plane || out.isNull()) throw ConvertError::failed(QStringLiteral("Couldn’t decode %1").arg(name));
    const size_t rowBytes = size_t(w) * (alpha ? 4 : 3);
    for (int y = 0; y < h; ++y)
        std::memcpy(out.scanLine(y), plane + qsizetype(y) * stride, rowBytes);
    out.setColorSpace(colourSpaceOf(handle.get()));
    return {out, exifOf(handle.get())};
}

QSize size(const QString& path)
{
    setUpLibheif();
    Context ctx(heif_context_alloc());
    heif_image_handle* raw = nullptr;
    if (heif_context_read_from_file(ctx.get(), QFile::encodeName(path).constData(), nullptr).code !=
            heif_error_Ok ||
        heif_context_get_primary_image_handle(ctx.get(), &raw).code != heif_error_Ok)
        return {};
    const Handle handle(raw);
    return QSize(heif_image_handle_get_width(handle.get()), heif_image_handle_get_height(handle.get()));
}

void write(QImage image, const QString& path, const QString& format, int quality, const QByteArray& exif,
           const QByteArray& xmp)
{
    setUpLibheif();
    const QString upper = format.toUpper();
    const auto failed = [&] { return ConvertError::failed(QStringLiteral("Couldn’t encode %1").arg(upper)); };
    if (image.isNull()) throw failed();
    const bool alpha = image.hasAlphaChannel();
    const QImage::Format samples = alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888;
    const QSize size = image.size();

    Context ctx(heif_context_alloc());
    heif_encoder* rawEncoder = nullptr;
    const auto compression = format == QLatin1String("avif") ? heif_compression_AV1 : heif_compression_HEVC;
    if (heif_context_get_encoder_for_format(ctx.get(), compression, &rawEncoder).code != heif_error_Ok)
        throw ConvertError::unsupported(QStringLiteral("Can’t write %1 images").arg(upper));
    Encoder encoder(rawEncoder);
    heif_encoder_set_lossy_quality(encoder.get(), quality);

    heif_image* rawImage = nullptr;
    if (heif_image_create(size.width(), size.height(), heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &rawImage)
            .code != heif_error_Ok)
        throw failed();
    Image img(rawImage);
    if (heif_image_add_plane(img.get(), heif_channel_interleaved, size.width(), size.height(), 8).code !=
        heif_error_Ok)
        throw failed();
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(img.get(), heif_channel_interleaved, &stride);
    // In bands, so that no whole converted copy is held beside the source and libheif's picture.
    const size_t rowBytes = size_t(size.width()) * (alpha ? 4 : 3);
    for (int top = 0; top < size.height(); top += bandRows) {
        const int rows = std::min(bandRows, size.height() - top);
        const bool converted = image.format() != samples;
        const QImage band =
            converted ? image.copy(0, top, size.width(), rows).convertToFormat(samples) : QImage();
        if (converted && band.isNull()) throw failed();
        for (int y = 0; y < rows; ++y)
            std::memcpy(plane + qsizetype(top + y) * stride,
                        converted ? band.constScanLine(y) : image.constScanLine(top + y), rowBytes);
    }
    const QByteArray icc = IccProfile::fitting(image, IccProfile::Model::rgb); // the samples are RGB
    if (!icc.isEmpty())
        heif_image_set_raw_color_profile(img.get(), "prof", icc.constData(), size_t(icc.size()));
    image = QImage();

    heif_image_handle* rawHandle = nullptr;
    if (heif_context_encode_image(ctx.get(), img.get(), encoder.get(), nullptr, &rawHandle).code !=
        heif_error_Ok)
        throw failed();
    Handle handle(rawHandle);
    if (!exif.isEmpty())
        heif_context_add_exif_metadata(ctx.get(), handle.get(), exif.constData(), int(exif.size()));
    if (!xmp.isEmpty() &&
        heif_context_add_XMP_metadata(ctx.get(), handle.get(), xmp.constData(), int(xmp.size())).code !=
            heif_error_Ok)
        throw failed();
    // Through a device of our own: libheif's file writer doesn't see a failed write.
    CheckedFile file(path);
    heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* userdata) {
                           auto* out = static_cast<CheckedFile*>(userdata);
                           if (out->write(static_cast<const char*>(data), qint64(size)) == qint64(size))
                               return heif_error{heif_error_Ok, heif_suberror_Unspecified, "Success"};
                           return heif_error{heif_error_Encoding_error,
                                             heif_suberror_Cannot_write_output_data, "write failed"};
                       }};
    const bool written = heif_context_write(ctx.get(), &writer, &file).code == heif_error_Ok;
    file.finish();
    if (!written) throw failed();
}

} // namespace Heif
