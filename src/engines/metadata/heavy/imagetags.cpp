#include "engines/metadata/heavy/imagetags.h"

#include "engines/metadata/heavy/imagecontent.h"
#include "engines/metadata/heavy/locationnames.h"
#include "engines/metadata/heavy/locationrule.h"
#include "engines/metadata/heavy/tifftags.h"

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <libheif/heif.h>
#include <memory>
#include <mutex>
#include <vector>

namespace {

// The tags of a HEIF file's every top-level picture, the primary one first.
std::optional<ImageTags> readHeif(const QString& path)
{
    const std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(),
                                                                              heif_context_free);
    if (!context ||
        heif_context_read_from_file(context.get(), QFile::encodeName(path).constData(), nullptr).code !=
            heif_error_Ok)
        return std::nullopt;
    heif_item_id primary = 0;
    if (heif_context_get_primary_image_ID(context.get(), &primary).code != heif_error_Ok) return std::nullopt;
    std::vector<heif_item_id> pictures(
        size_t(std::max(heif_context_get_number_of_top_level_images(context.get()), 0)));
    pictures.resize(size_t(
        heif_context_get_list_of_top_level_image_IDs(context.get(), pictures.data(), int(pictures.size()))));
    std::stable_partition(pictures.begin(), pictures.end(),
                          [primary](heif_item_id id) { return id == primary; });

    ImageTags tags;
    for (const heif_item_id picture : pictures) {
        heif_image_handle* raw = nullptr;
        if (heif_context_get_image_handle(context.get(), picture, &raw).code != heif_error_Ok)
            return std::nullopt;
        const std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)> handle(
            raw, heif_image_handle_release);
        if (picture == primary)
            tags.size = QSize(heif_image_handle_get_width(raw), heif_image_handle_get_height(raw));
        std::vector<heif_item_id> blocks(
            size_t(std::max(heif_image_handle_get_number_of_metadata_blocks(raw, nullptr), 0)));
        blocks.resize(size_t(heif_image_handle_get_list_of_metadata_block_IDs(raw, nullptr, blocks.data(),
                                                                              int(blocks.size()))));
        for (const heif_item_id block : blocks) {
            QByteArray data(qsizetype(heif_image_handle_get_metadata_size(raw, block)), Qt::Uninitialized);
            if (heif_image_handle_get_metadata(raw, block, data.data()).code != heif_error_Ok)
                return std::nullopt;
            const std::string type = heif_image_handle_get_metadata_type(raw, block);
            const std::string content = heif_image_handle_get_metadata_content_type(raw, block);
            if (type == "Exif") {
                // The block starts with the offset of its TIFF header.
                if (data.size() < 4) continue;
                const quint32 offset = qFromBigEndian<quint32>(data.constData());
                if (offset > quint32(data.size() - 4)) return std::nullopt;
                const QByteArray tiff = data.mid(4 + qsizetype(offset));
                Exiv2::ExifData exif;
                Exiv2::ExifParser::decode(exif, reinterpret_cast<const Exiv2::byte*>(tiff.constData()),
                                          uint32_t(tiff.size()));
                for (const Exiv2::Exifdatum& d : exif)
                    tags.exif.add(d);
            } else if (type == "mime" && content == "application/rdf+xml") {
                const std::string packet(data.constData(), size_t(data.size()));
                tags.xmpPacket += packet;
                Exiv2::XmpData xmp;
                if (Exiv2::XmpParser::decode(xmp, packet) == 0)
                    for (const Exiv2::Xmpdatum& d : xmp)
                        tags.xmp.add(d);
            }
        }
    }
    return tags;
}

std::optional<ImageTags> readWithExiv2(const QString& path)
{
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
    image->readMetadata();
    ImageTags tags;
    tags.exif = image->exifData();
    tags.iptc = image->iptcData();
    tags.xmp = image->xmpData();
    tags.xmpPacket = image->xmpPacket();
    tags.comment = image->comment();
    tags.size = QSize(int(image->pixelWidth()), int(image->pixelHeight()));
    return tags;
}

// A tag of a picture's own directory that shows the picture rather than says something about it.
bool showsThePicture(const Exiv2::Exifdatum& d)
{
    const std::string group = d.groupName();
    const bool pictureDirectory = group.rfind("Image", 0) == 0 || group.rfind("SubImage", 0) == 0 ||
                                  group.rfind("Thumbnail", 0) == 0 || group.rfind("SubThumb", 0) == 0;
    return pictureDirectory && TiffTags::showsThePage(d.tag());
}

} // namespace

void ImageTags::setUpExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
    });
}

bool ImageTags::isLocation(const std::string& key)
{
    return LocationNames::isLocationKey(key);
}

std::optional<ImageTags> ImageTags::read(const QString& path, const QString& format)
{
    setUpExiv2();
    try {
        return ImageContent::isHeif(format) ? readHeif(path) : readWithExiv2(path);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void ImageTags::teach(LocationRule& rule) const
{
    for (const Exiv2::Exifdatum& d : exif)
        rule.learn(d);
    for (const Exiv2::Xmpdatum& d : xmp)
        rule.learn(d);
    for (const Exiv2::Iptcdatum& d : iptc)
        rule.learn(d);
}

bool ImageTags::holdsLocation(const LocationRule& rule) const
{
    const auto tells = [&rule](const auto& d) { return rule.tellsLocation(d); };
    return std::any_of(exif.begin(), exif.end(), tells) || std::any_of(xmp.begin(), xmp.end(), tells) ||
           std::any_of(iptc.begin(), iptc.end(), tells) ||
           rule.holdsLocation(QString::fromStdString(comment));
}

QStringList ImageTags::leftovers(bool strip) const
{
    LocationRule rule;
    teach(rule);
    return leftovers(strip, rule);
}

QStringList ImageTags::leftovers(bool strip, const LocationRule& rule) const
{
    // The packet as stored also tells of a location in XMP that could not be parsed.
    static const char* const marks[] = {
        "GPSLatitude",   "GPSLongitude",    "photoshop:City", "photoshop:State", "photoshop:Country",
        "LocationShown", "LocationCreated", "shotLocation",   "dc:coverage",     "dctermsLocation"};
    bool location = std::any_of(std::begin(marks), std::end(marks), [this](const char* name) {
        return xmpPacket.find(name) != std::string::npos;
    });
    location = location || holdsLocation(rule);
    bool otherExif = false;
    for (const Exiv2::Exifdatum& d : exif)
        if (!isLocation(d.key()) && !showsThePicture(d)) otherExif = true;
    QStringList out;
    if (location) out << QStringLiteral("the location");
    if (!strip) return out;
    if (otherExif) out << QStringLiteral("the Exif tags");
    if (!xmp.empty() || !xmpPacket.empty()) out << QStringLiteral("the XMP tags");
    if (!iptc.empty()) out << QStringLiteral("the IPTC tags");
    if (!comment.empty()) out << QStringLiteral("the comment");
    return out;
}
