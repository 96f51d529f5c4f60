#include "engines/compress/heavy/screenpictures.h"

#include "core/job.h"
#include "engines/compress/heavy/pictureplacement.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <cmath>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <set>

namespace {

// The quality qpdf's own JPEG conversion uses, so that both levels look alike.
constexpr int jpegQuality = 75;

// Colour components of a grey or RGB colour space; 0 for every other.
int components(QPDFObjectHandle space)
{
    if (space.isNameAndEquals("/DeviceGray") || space.isNameAndEquals("/CalGray")) return 1;
    if (space.isNameAndEquals("/DeviceRGB") || space.isNameAndEquals("/CalRGB")) return 3;
    if (!space.isArray() || space.getArrayNItems() != 2) return 0;
    QPDFObjectHandle family = space.getArrayItem(0);
    if (family.isNameAndEquals("/CalGray")) return 1;
    if (family.isNameAndEquals("/CalRGB")) return 3;
    if (family.isNameAndEquals("/ICCBased")) {
        QPDFObjectHandle profile = space.getArrayItem(1);
        QPDFObjectHandle n = profile.isStream() ? profile.getDict().getKey("/N") : QPDFObjectHandle();
        const long long count = n.isInteger() ? n.getIntValue() : 0;
        return count == 1 || count == 3 ? int(count) : 0;
    }
    return 0;
}

// The picture's samples, when they can be carried over exactly.
QImage samples(QPDFObjectHandle picture)
{
    QPDFObjectHandle dict = picture.getDict();
    if (dict.getKey("/ImageMask").isBool() && dict.getKey("/ImageMask").getBoolValue()) return {};
    if (dict.hasKey("/Mask") || dict.hasKey("/Decode")) return {};
    QPDFObjectHandle bits = dict.getKey("/BitsPerComponent"), w = dict.getKey("/Width"),
                     h = dict.getKey("/Height");
    if (!bits.isInteger() || bits.getIntValue() != 8 || !w.isInteger() || !h.isInteger()) return {};
    const int n = components(dict.getKey("/ColorSpace"));
    const long long width = w.getIntValue(), height = h.getIntValue();
    if (n == 0 || width < 1 || height < 1 || width > 65535 || height > 65535) return {};
    std::shared_ptr<Buffer> data;
    try {
        data = picture.getStreamData(qpdf_dl_all);
    } catch (const std::exception&) {
        return {};
    }
    const size_t row = size_t(width) * size_t(n);
    if (!data || data->getSize() != row * size_t(height)) return {};
    QImage image(int(width), int(height), n == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    if (image.isNull()) return {};
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(image.scanLine(y), data->getBuffer() + size_t(y) * row, row);
    return image;
}

QByteArray jpeg(const QImage& image)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(jpegQuality);
    return writer.write(image) ? data : QByteArray();
}

// The pixels a side of `pixels` keeps when drawn over `inches` at `ppi`: never more.
int side(int pixels, double inches, double ppi)
{
    return int(std::clamp<double>(std::lround(inches * ppi), 1, pixels));
}

} // namespace

namespace ScreenPictures {

int downsample(QPDF& pdf, double ppi, Job& job)
{
    const std::map<QPDFObjGen, PicturePlacement::Drawn> drawn = PicturePlacement::largest(pdf);
    // A soft mask stays whole: it's drawn through its picture, never on its own.
    std::set<QPDFObjGen> masks;
    for (const auto& [id, size] : drawn) {
        QPDFObjectHandle mask = pdf.getObject(id).getDict().getKey("/SMask");
        if (mask.isStream()) masks.insert(mask.getObjGen());
    }
    int replaced = 0;
    for (const auto& [id, size] : drawn) {
        job.throwIfCancelled();
        if (masks.count(id) || !(size.width > 0) || !(size.height > 0)) continue;
        QPDFObjectHandle picture = pdf.getObject(id);
        QPDFObjectHandle dict = picture.getDict();
        const long long width = dict.getKey("/Width").isInteger() ? dict.getKey("/Width").getIntValue() : 0;
        const long long height =
            dict.getKey("/Height").isInteger() ? dict.getKey("/Height").getIntValue() : 0;
        if (width < 1 || height < 1 || width > 65535 || height > 65535) continue;
        const int w = side(int(width), size.width, ppi), h = side(int(height), size.height, ppi);
        if (w == width && h == height) continue;
        const QImage image = samples(picture);
        if (image.isNull()) continue;
        const QByteArray data = jpeg(image.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        if (data.isEmpty() || size_t(data.size()) >= picture.getRawStreamData()->getSize()) continue;
        picture.replaceStreamData(data.toStdString(), QPDFObjectHandle::newName("/DCTDecode"),
                                  QPDFObjectHandle::newNull());
        dict.replaceKey("/Width", QPDFObjectHandle::newInteger(w));
        dict.replaceKey("/Height", QPDFObjectHandle::newInteger(h));
        ++replaced;
    }
    return replaced;
}

} // namespace ScreenPictures
