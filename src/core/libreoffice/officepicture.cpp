#include "core/libreoffice/officepicture.h"

#include "core/archive/libarchive.h"
#include "core/svgdrawing.h"

#include <memory>
#include <optional>

namespace {

// More than any real drawing inflates to; a bomb stops here.
constexpr qint64 maxInflated = qint64(256) << 20;

// The bytes a gzip stream holds; nothing when it is damaged or inflates past the limit.
std::optional<QByteArray> inflated(const QByteArray& gzip)
{
    const LibArchive& lib = LibArchive::get();
    const std::unique_ptr<archive, decltype(lib.readFree)> reader(lib.readNew(), lib.readFree);
    lib.readSupportFilterGzip(reader.get());
    lib.readSupportFormatRaw(reader.get());
    archive_entry* entry = nullptr;
    if (lib.readOpenMemory(reader.get(), gzip.constData(), size_t(gzip.size())) != ARCHIVE_OK ||
        lib.readNextHeader(reader.get(), &entry) != ARCHIVE_OK)
        return std::nullopt;
    QByteArray out;
    char buffer[65536];
    la_ssize_t n = 0;
    while ((n = lib.readData(reader.get(), buffer, sizeof buffer)) > 0) {
        out.append(buffer, qsizetype(n));
        if (out.size() > maxInflated) return std::nullopt;
    }
    if (n < 0) return std::nullopt;
    return out;
}

} // namespace

namespace OfficePicture {

QByteArray confined(const QByteArray& picture)
{
    if (!SvgDrawing::mayBe(picture)) return picture;
    if (!picture.startsWith("\x1f\x8b")) return SvgDrawing::confined(picture);
    // Compressed metafiles are common and name nothing; only a compressed drawing is opened up.
    const std::optional<QByteArray> inner = inflated(picture);
    if (!inner) return {};
    return SvgDrawing::mayBe(*inner) ? SvgDrawing::confined(*inner) : picture;
}

} // namespace OfficePicture
