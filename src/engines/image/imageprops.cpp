#include "engines/image/imageprops.h"

#include "core/converterror.h"

#include <QFile>
#include <QSet>
#include <QtEndian>
#include <cmath>
#include <exiv2/exiv2.hpp>
#include <mutex>

struct ImageProps::Data
{
    Exiv2::ExifData exif;
    Exiv2::IptcData iptc;
    QByteArray xmpPacket;
};

namespace {

// exiv2 parses XMP through a toolkit that must be set up once before threads use it, and
// writes warnings about odd files to standard error, which the command line keeps clean.
void setUpExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
    });
}

QString text(const std::string& s)
{
    return QString::fromStdString(s);
}

std::string key(const QString& k)
{
    return k.toStdString();
}

// Fields of the main image directory that describe the picture rather than how its pixels
// were stored; the encoder of the new file writes its own structure.
const QSet<QString>& descriptiveImageTags()
{
    static const QSet<QString> tags{
        "ImageDescription", "Make",           "Model",        "Orientation", "XResolution",
        "YResolution",      "ResolutionUnit", "Software",     "DateTime",    "Artist",
        "HostComputer",     "Copyright",      "DocumentName", "WhitePoint",  "PrimaryChromaticities"};
    return tags;
}

bool isCarried(const Exiv2::Exifdatum& d)
{
    const QString group = text(d.groupName()), tag = text(d.tagName());
    if (group == QLatin1String("Image")) return descriptiveImageTags().contains(tag);
    if (group == QLatin1String("Photo"))
        return tag != QLatin1String("MakerNote") && tag != QLatin1String("InteroperabilityTag");
    return group == QLatin1String("GPSInfo");
}

std::optional<double> positive(double v)
{
    return v > 0 && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

// The resolution a JPEG's JFIF header or a PNG's pHYs chunk gives, in dots per inch.
std::optional<std::pair<double, double>> headerResolution(const QByteArray& head)
{
    const auto u8 = [&](qsizetype i) { return quint8(head[i]); };
    const auto be16 = [&](qsizetype i) { return qFromBigEndian<quint16>(head.constData() + i); };
    const auto be32 = [&](qsizetype i) { return qFromBigEndian<quint32>(head.constData() + i); };
    if (head.startsWith("\xFF\xD8\xFF\xE0") && head.size() >= 18 && head.mid(6, 5) == QByteArray("JFIF", 5)) {
        const double perUnit = u8(13) == 1 ? 1 : u8(13) == 2 ? 2.54 : 0;
        const auto x = positive(be16(14) * perUnit), y = positive(be16(16) * perUnit);
        if (x && y) return std::pair(*x, *y);
        return std::nullopt;
    }
    if (!head.startsWith("\x89PNG\r\n\x1A\n")) return std::nullopt;
    for (qsizetype at = 8; at + 8 <= head.size();) {
        const quint32 length = be32(at);
        const QByteArray type = head.mid(at + 4, 4);
        if (type == "IDAT" || length > quint32(head.size())) break;
        if (type == "pHYs" && length == 9 && at + 17 <= head.size() && u8(at + 16) == 1) {
            const auto x = positive(be32(at + 8) * 0.0254), y = positive(be32(at + 12) * 0.0254);
            if (x && y) return std::pair(*x, *y);
        }
        at += 12 + qsizetype(length);
    }
    return std::nullopt;
}

std::optional<double> rational(const Exiv2::ExifData& exif, const char* k)
{
    const auto it = exif.findKey(Exiv2::ExifKey(k));
    if (it == exif.end() || it->count() == 0) return std::nullopt;
    return positive(it->toFloat(0));
}

} // namespace

ImageProps::ImageProps() : d(std::make_unique<Data>()) {}
ImageProps::~ImageProps() = default;
ImageProps::ImageProps(const ImageProps& other)
    : d(std::make_unique<Data>(*other.d)), m_dpiX(other.m_dpiX), m_dpiY(other.m_dpiY)
{
}
ImageProps& ImageProps::operator=(const ImageProps& other)
{
    if (this != &other) {
        *d = *other.d;
        m_dpiX = other.m_dpiX;
        m_dpiY = other.m_dpiY;
    }
    return *this;
}
ImageProps::ImageProps(ImageProps&& other) noexcept
    : d(std::exchange(other.d, std::make_unique<Data>())), m_dpiX(other.m_dpiX), m_dpiY(other.m_dpiY)
{
}
ImageProps& ImageProps::operator=(ImageProps&& other) noexcept
{
    std::swap(d, other.d);
    m_dpiX = other.m_dpiX;
    m_dpiY = other.m_dpiY;
    return *this;
}

ImageProps ImageProps::read(const QString& path)
{
    setUpExiv2();
    ImageProps p;
    try {
        auto image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        image->readMetadata();
        p.d->exif = image->exifData();
        p.d->iptc = image->iptcData();
    } catch (const std::exception&) {
        // A format exiv2 does not know, or damaged metadata: the pixels may still be fine.
    }
    QFile f(path);
    const auto header = f.open(QIODevice::ReadOnly) ? headerResolution(f.read(64 * 1024)) : std::nullopt;
    if (header)
        p.setDpi(header->first, header->second);
    else
        p.takeExifDpi();
    return p;
}

ImageProps ImageProps::fromExif(const QByteArray& tiffExif)
{
    setUpExiv2();
    ImageProps p;
    try {
        Exiv2::ExifParser::decode(p.d->exif, reinterpret_cast<const Exiv2::byte*>(tiffExif.constData()),
                                  uint32_t(tiffExif.size()));
    } catch (const std::exception&) {
        p.d->exif.clear();
    }
    p.takeExifDpi();
    return p;
}

bool ImageProps::isEmpty() const
{
    return d->exif.empty() && d->iptc.empty() && !m_dpiX && !m_dpiY;
}

QStringList ImageProps::keys() const
{
    QStringList out;
    for (const auto& e : d->exif)
        out << text(e.key());
    for (const auto& i : d->iptc)
        out << text(i.key());
    return out;
}

std::optional<QString> ImageProps::value(const QString& k) const
{
    try {
        if (k.startsWith(QLatin1String("Iptc."))) {
            const auto it = d->iptc.findKey(Exiv2::IptcKey(key(k)));
            if (it != d->iptc.end()) return text(it->toString());
        } else {
            const auto it = d->exif.findKey(Exiv2::ExifKey(key(k)));
            if (it != d->exif.end()) return text(it->toString());
        }
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

bool ImageProps::setValue(const QString& k, const QString& v)
{
    setUpExiv2();
    try {
        if (k.startsWith(QLatin1String("Iptc."))) return d->iptc[key(k)].setValue(key(v)) == 0;
        return d->exif[key(k)].setValue(key(v)) == 0;
    } catch (const std::exception&) {
        return false;
    }
}

void ImageProps::remove(const QString& k)
{
    try {
        if (k.startsWith(QLatin1String("Iptc."))) {
            const auto it = d->iptc.findKey(Exiv2::IptcKey(key(k)));
            if (it != d->iptc.end()) d->iptc.erase(it);
        } else {
            const auto it = d->exif.findKey(Exiv2::ExifKey(key(k)));
            if (it != d->exif.end()) d->exif.erase(it);
        }
    } catch (const std::exception&) {
    }
}

int ImageProps::orientation() const
{
    const auto it = d->exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (it == d->exif.end() || it->count() == 0) return 1;
    const long o = it->toLong(0);
    return o >= 1 && o <= 8 ? int(o) : 1;
}

void ImageProps::setOrientation(int orientation)
{
    d->exif["Exif.Image.Orientation"] = uint16_t(orientation);
}

void ImageProps::setDpi(std::optional<double> x, std::optional<double> y)
{
    m_dpiX = x ? positive(*x) : std::nullopt;
    m_dpiY = y ? positive(*y) : m_dpiX;
}

void ImageProps::takeExifDpi()
{
    const auto x = rational(d->exif, "Exif.Image.XResolution");
    const auto y = rational(d->exif, "Exif.Image.YResolution");
    // Inches unless the unit says centimetres; a resolution without a unit (1) gives only the
    // pixels' aspect, which is no size at all.
    const auto unit = d->exif.findKey(Exiv2::ExifKey("Exif.Image.ResolutionUnit"));
    const long code = unit != d->exif.end() && unit->count() > 0 ? unit->toLong(0) : 2;
    if (code != 2 && code != 3) return setDpi(std::nullopt, std::nullopt);
    const double perUnit = code == 3 ? 2.54 : 1;
    setDpi(x ? std::optional(*x * perUnit) : std::nullopt, y ? std::optional(*y * perUnit) : std::nullopt);
}

QByteArray ImageProps::xmpPacket() const
{
    return d->xmpPacket;
}

void ImageProps::setXmpPacket(const QByteArray& packet)
{
    d->xmpPacket = packet;
}

QByteArray ImageProps::exifBlock() const
{
    if (d->exif.empty()) return {};
    Exiv2::Blob blob;
    try {
        Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, d->exif);
    } catch (const std::exception&) {
        return {};
    }
    return QByteArray(reinterpret_cast<const char*>(blob.data()), qsizetype(blob.size()));
}

void ImageProps::embedInto(const QString& path) const
{
    if (d->exif.empty() && d->iptc.empty()) return;
    setUpExiv2();
    Exiv2::Image::AutoPtr image;
    try {
        image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        image->readMetadata(); // keeps what the encoder wrote, such as the colour profile
    } catch (const std::exception&) {
        return; // a format whose metadata exiv2 cannot write: the picture goes without
    }
    const bool exif = !d->exif.empty() && (image->checkMode(Exiv2::mdExif) & Exiv2::amWrite);
    const bool iptc = !d->iptc.empty() && (image->checkMode(Exiv2::mdIptc) & Exiv2::amWrite);
    if (!exif && !iptc) return;
    try {
        if (exif) image->setExifData(d->exif);
        if (iptc) image->setIptcData(d->iptc);
        image->writeMetadata();
    } catch (const std::exception& e) {
        // The file may have been rewritten only in part.
        throw ConvertError::failed(QStringLiteral("Couldn’t write the image’s metadata: %1").arg(e.what()));
    }
}

ImageProps ImageProps::carried() const
{
    ImageProps out;
    for (const auto& e : d->exif)
        if (isCarried(e)) out.d->exif.add(e);
    out.d->iptc = d->iptc;
    // The pixels are upright; a file that says nothing about orientation means the same.
    if (!out.d->exif.empty()) out.setOrientation(1);
    out.m_dpiX = m_dpiX;
    out.m_dpiY = m_dpiY;
    return out;
}
