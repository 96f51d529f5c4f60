#include "engines/image/cmykjpeg.h"

#include "core/converterror.h"
#include "engines/image/cmyktransform.h"

#include <QColorSpace>
#include <QFile>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

namespace {

struct ErrorExit
{
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

// libjpeg ends a failed call through its error handler, which must not return: it jumps back
// to the call below, and the decoder is then given up. Only plain values live in the frames
// that the jump leaves.
class Decoder
{
  public:
    explicit Decoder(std::FILE* file) : m_file(file)
    {
        m_info.err = jpeg_std_error(&m_error.manager);
        m_error.manager.error_exit = [](j_common_ptr info) {
            std::longjmp(reinterpret_cast<ErrorExit*>(info->err)->jump, 1);
        };
        // Warnings (a damaged or truncated stream) are left to the decoder, which fills in
        // what is missing as Qt's decoder does; nothing is printed.
        m_error.manager.output_message = [](j_common_ptr) {};
    }
    ~Decoder()
    {
        jpeg_destroy_decompress(&m_info); // nothing to free when it was never created
        std::free(m_profile);
        std::fclose(m_file);
    }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Reads the header; true for a CMYK picture, with its profile taken.
    bool cmykHeader()
    {
        if (setjmp(m_error.jump)) return false;
        jpeg_create_decompress(&m_info);
        jpeg_stdio_src(&m_info, m_file);
        jpeg_save_markers(&m_info, JPEG_APP0 + 2, 0xffff);
        if (jpeg_read_header(&m_info, TRUE) != JPEG_HEADER_OK) return false;
        if (m_info.jpeg_color_space != JCS_CMYK && m_info.jpeg_color_space != JCS_YCCK) return false;
        if (!jpeg_read_icc_profile(&m_info, &m_profile, &m_profileSize)) m_profile = nullptr;
        return true;
    }

    bool start()
    {
        if (setjmp(m_error.jump)) return false;
        m_info.out_color_space = JCS_CMYK;
        return jpeg_start_decompress(&m_info) && m_info.output_components == 4;
    }

    bool readRow(uchar* row)
    {
        if (setjmp(m_error.jump)) return false;
        JSAMPROW rows[1] = {row};
        return jpeg_read_scanlines(&m_info, rows, 1) == 1;
    }

    bool finish()
    {
        if (setjmp(m_error.jump)) return false;
        return jpeg_finish_decompress(&m_info);
    }

    QSize size() const { return QSize(int(m_info.image_width), int(m_info.image_height)); }
    QSize outputSize() const { return QSize(int(m_info.output_width), int(m_info.output_height)); }
    QByteArray profile() const
    {
        return m_profile ? QByteArray(reinterpret_cast<const char*>(m_profile), qsizetype(m_profileSize))
                         : QByteArray();
    }
    // Adobe's applications write CMYK with 0 as full ink and mark the file so.
    bool inverted() const { return m_info.saw_Adobe_marker; }

  private:
    std::FILE* m_file;
    jpeg_decompress_struct m_info{};
    ErrorExit m_error{};
    JOCTET* m_profile = nullptr;
    unsigned int m_profileSize = 0;
};

} // namespace

namespace CmykJpeg {

std::optional<QImage> read(const QString& path, const QString& name,
                           const std::function<void(QSize)>& checkSize)
{
    std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!file) return std::nullopt;
    Decoder decoder(file);
    if (!decoder.cmykHeader()) return std::nullopt;
    checkSize(decoder.size());
    const auto failed = [&] { return ConvertError::failed(QStringLiteral("Couldn’t decode %1").arg(name)); };
    if (!decoder.start()) throw failed();
    const QSize size = decoder.outputSize();
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) throw failed();
    // The inks go into the picture's own pixels, four bytes each, and become colours there.
    for (int y = 0; y < size.height(); ++y)
        if (!decoder.readRow(image.scanLine(y))) throw failed();
    if (!decoder.finish()) throw failed();
    CmykTransform(decoder.profile(), decoder.inverted()).convert(image);
    image.setColorSpace(QColorSpace::SRgb);
    return image;
}

} // namespace CmykJpeg
