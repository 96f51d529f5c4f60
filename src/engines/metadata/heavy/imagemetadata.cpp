#include "engines/metadata/heavy/imagemetadata.h"

#include "core/catalog.h"
#include "core/converterror.h"
#include "core/output.h"
#include "engines/image/imageengine.h"
#include "engines/image/jpegsegments.h"
#include "engines/metadata/heavy/gifblocks.h"
#include "engines/metadata/heavy/heiftags.h"
#include "engines/metadata/heavy/imagecontent.h"
#include "engines/metadata/heavy/imagelocation.h"
#include "engines/metadata/heavy/imagereadback.h"
#include "engines/metadata/heavy/imagetags.h"
#include "engines/metadata/heavy/jpegtags.h"
#include "engines/metadata/heavy/locationblocks.h"
#include "engines/metadata/heavy/locationrule.h"
#include "engines/metadata/heavy/pngchunks.h"
#include "engines/metadata/heavy/tifftags.h"
#include "engines/metadata/heavy/webpchunks.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QRegularExpression>
#include <exiv2/exiv2.hpp>

namespace {

QString text(const std::string& s)
{
    return QString::fromStdString(s).trimmed();
}

// The tag's text; empty when it is absent.
QString value(const Exiv2::ExifData& data, const char* key)
{
    const auto it = data.findKey(Exiv2::ExifKey(key));
    return it == data.end() ? QString() : text(it->toString());
}

const char* const exifKeys[] = {"Exif.Image.ImageDescription", "Exif.Image.Artist", "Exif.Image.Copyright"};
const char* const xmpKeys[] = {"Xmp.dc.description", "Xmp.dc.creator", "Xmp.dc.rights"};
const char* const fieldKeys[] = {"title", "author", "copyright"};
const char* const labels[] = {"Title", "Author", "Copyright"};

QStringList keywords(const Exiv2::IptcData& iptc, const Exiv2::XmpData& xmp)
{
    QStringList words;
    for (const auto& d : iptc)
        if (d.key() == "Iptc.Application2.Keywords") words << text(d.toString());
    if (!words.isEmpty()) return words;
    const auto subject = xmp.findKey(Exiv2::XmpKey("Xmp.dc.subject"));
    if (subject != xmp.end())
        for (long i = 0; i < subject->count(); ++i)
            words << text(subject->toString(i));
    return words;
}

template <class Data> void eraseAll(Data& data, const std::function<bool(const std::string&)>& matches)
{
    for (auto it = data.begin(); it != data.end();)
        it = matches(it->key()) ? data.erase(it) : std::next(it);
}

void setKeywords(Exiv2::Image& image, const QStringList& words, const QString& format)
{
    eraseAll(image.iptcData(), [](const std::string& k) { return k == "Iptc.Application2.Keywords"; });
    eraseAll(image.xmpData(), [](const std::string& k) { return k == "Xmp.dc.subject"; });
    if (words.isEmpty()) return;
    if (image.checkMode(Exiv2::mdIptc) & Exiv2::amWrite) {
        for (const QString& word : words) {
            Exiv2::StringValue keyword(word.toStdString());
            image.iptcData().add(Exiv2::IptcKey("Iptc.Application2.Keywords"), &keyword);
        }
    } else if (image.checkMode(Exiv2::mdXmp) & Exiv2::amWrite) {
        Exiv2::XmpArrayValue bag(Exiv2::xmpBag); // each read adds an item
        for (const QString& word : words)
            bag.read(word.toStdString());
        image.xmpData().add(Exiv2::XmpKey("Xmp.dc.subject"), &bag);
    } else {
        throw ConvertError::failed(
            QStringLiteral("Keywords can’t be saved in %1 files").arg(format.toUpper()));
    }
}

// Erases what `rule` tells is location, after showing it every field.
template <class Data> void eraseLocation(Data& data, LocationRule& rule)
{
    for (const auto& d : data)
        rule.learn(d);
    for (auto it = data.begin(); it != data.end();)
        it = rule.isLocation(*it) ? data.erase(it) : std::next(it);
}

void edit(Exiv2::Image& image, const QList<MetaField>& fields, bool removeGPS, const QString& format,
          LocationRule& rule)
{
    for (const MetaField& field : fields) {
        for (int i = 0; i < 3; ++i) {
            if (field.key != QLatin1String(fieldKeys[i])) continue;
            // A stale copy in XMP would win over the new text in most readers.
            eraseAll(image.xmpData(), [i](const std::string& k) { return k == xmpKeys[i]; });
            eraseAll(image.exifData(), [i](const std::string& k) { return k == exifKeys[i]; });
            if (!field.value.isEmpty()) image.exifData()[exifKeys[i]] = field.value.toStdString();
        }
        if (field.key == QLatin1String("keywords"))
            setKeywords(image, MetadataEngine::keywordList(field.value), format);
    }
    if (removeGPS) {
        eraseLocation(image.exifData(), rule);
        eraseLocation(image.xmpData(), rule);
        eraseLocation(image.iptcData(), rule);
        if (rule.holdsLocation(QString::fromStdString(image.comment()))) image.clearComment();
    }
}

// Everything goes but the orientation, read from the source, and the colour profile.
void strip(Exiv2::Image& image, int orientation)
{
    std::optional<Exiv2::DataBuf> profile;
    if (image.iccProfileDefined())
        profile = Exiv2::DataBuf(image.iccProfile()->pData_, image.iccProfile()->size_);
    image.clearMetadata();
    if (profile) image.setIccProfile(*profile, false);
    if (orientation != 1) image.exifData()["Exif.Image.Orientation"] = uint16_t(orientation);
}

// `bytes` with their tags rewritten by exiv2.
QByteArray rewritten(const QByteArray& bytes, const std::function<void(Exiv2::Image&)>& change)
{
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(
            reinterpret_cast<const Exiv2::byte*>(bytes.constData()), long(bytes.size()));
        image->readMetadata();
        change(*image);
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        io.seek(0, Exiv2::BasicIo::beg);
        const Exiv2::DataBuf written = io.read(long(io.size()));
        return QByteArray(reinterpret_cast<const char*>(written.pData_), qsizetype(written.size_));
    } catch (const ConvertError&) {
        throw;
    } catch (const std::exception& e) {
        throw ConvertError::failed(QStringLiteral("Couldn’t write the image"), QString::fromUtf8(e.what()));
    }
}

// Writes `bytes` at `destination` with their tags rewritten by exiv2.
void rewrite(const QByteArray& bytes, const QString& destination,
             const std::function<void(Exiv2::Image&)>& change)
{
    Output::writeFile(destination, rewritten(bytes, change));
}

// `bytes`, a file of `format`, without the location (as `rule` tells it) in the places its format
// keeps tags, taken out by hand: every picture of a JPEG, the chunks of a PNG or WebP, the pages
// of a TIFF, the XMP and comments of a GIF. `bytes` itself when they hold none or the format has
// no such places (a HEIF file's items are changed on their own); none when the file cannot be
// followed.
std::optional<QByteArray> withoutLocationByHand(const QByteArray& bytes, const QString& format,
                                                LocationRule& rule)
{
    const auto once = [&]() -> std::optional<QByteArray> {
        if (TiffTags::pageCount(bytes) > 0) return LocationBlocks::tiff(bytes, rule);
        if (bytes.startsWith("\xFF\xD8")) return JpegTags::withoutLocation(bytes, rule);
        if (format == QLatin1String("png")) return PngChunks::withoutLocation(bytes, rule);
        if (format == QLatin1String("webp")) return WebpChunks::withoutLocation(bytes, rule);
        if (format == QLatin1String("gif")) return GifBlocks::withoutLocation(bytes, rule);
        return bytes;
    };
    // The first reading learns the place names the file holds anywhere, so that the second finds
    // what repeats them wherever it comes first.
    once();
    return once();
}

// A JPEG's tags edited and its location removed in each of its pictures; exiv2 edits the first,
// and the index of the first points at the others once more.
void writeJpegWithoutLocation(const QByteArray& bytes, const QString& destination,
                              const std::function<void(Exiv2::Image&)>& change, LocationRule& rule)
{
    const std::optional<QByteArray> clean = withoutLocationByHand(bytes, QStringLiteral("jpg"), rule);
    std::optional<QList<QByteArray>> pictures = clean ? JpegTags::pictures(*clean) : std::nullopt;
    if (clean && !pictures)
        if (const auto first = JpegSegments::firstPicture(*clean, JpegSegments::Keep::tags))
            pictures = QList<QByteArray>{*first};
    if (!pictures) throw ConvertError::failed(QStringLiteral("Couldn’t read the image"));
    (*pictures)[0] = rewritten(pictures->first(), change);
    const std::optional<QByteArray> joined = JpegTags::joined(*pictures);
    if (!joined) throw ConvertError::failed(QStringLiteral("Couldn’t write the image"));
    Output::writeFile(destination, *joined);
}

// A TIFF loses its tags or its location on every page by our own hand; exiv2, which would keep
// four pages at most and leave the later pages' directories dangling, edits single pages only.
void writeTiff(const QByteArray& bytes, const QString& destination, const QList<MetaField>& edits, bool strip,
               bool removeGPS, LocationRule& rule)
{
    if (!edits.isEmpty() && TiffTags::pageCount(bytes) > 1)
        throw ConvertError::failed(
            QStringLiteral("%1 can’t be saved in TIFF files of several pages").arg(edits[0].label));
    std::optional<QByteArray> kept = bytes;
    if (strip || removeGPS)
        kept = strip ? TiffTags::without(bytes, TiffTags::Drop::allTags)
                     : withoutLocationByHand(bytes, QStringLiteral("tiff"), rule);
    if (!kept) throw ConvertError::failed(QStringLiteral("Couldn’t read the image"));
    if (edits.isEmpty()) {
        Output::writeFile(destination, *kept);
        return;
    }
    rewrite(*kept, destination,
            [&](Exiv2::Image& image) { edit(image, edits, removeGPS, QStringLiteral("tiff"), rule); });
}

// The XMP of a HEIF `source` that an edit keeps: all but the edited fields' stale copies and,
// with `removeGPS`, the location; empty when there is none or it cannot be read.
QByteArray keptXmp(const QString& source, const QString& format, const QList<MetaField>& fields,
                   bool removeGPS, LocationRule& rule)
{
    std::optional<ImageTags> tags = ImageTags::read(source, format);
    if (!tags || tags->xmp.empty()) return {};
    for (const MetaField& field : fields)
        for (int i = 0; i < 3; ++i)
            if (field.key == QLatin1String(fieldKeys[i]))
                eraseAll(tags->xmp, [i](const std::string& k) { return k == xmpKeys[i]; });
    if (removeGPS) eraseLocation(tags->xmp, rule);
    std::string packet;
    if (tags->xmp.empty() || Exiv2::XmpParser::encode(packet, tags->xmp) != 0) return {};
    return QByteArray::fromStdString(packet);
}

// A HEIC or AVIF file whose boxes a copy cannot follow is encoded again with the tags that stay.
void reencode(const QString& source, const QString& destination, const QString& format,
              const QList<MetaField>& fields, bool strip, bool removeGPS, LocationRule& rule)
{
    ImageEngine::Loaded loaded = ImageEngine::load(source);
    ImageProps props = strip ? ImageProps() : ImageEngine::carriedProperties(loaded.props);
    for (const MetaField& field : fields) {
        bool known = false;
        for (int i = 0; i < 3; ++i) {
            if (field.key != QLatin1String(fieldKeys[i])) continue;
            known = true;
            props.remove(QString::fromLatin1(exifKeys[i]));
            if (!field.value.isEmpty()) props.setValue(QString::fromLatin1(exifKeys[i]), field.value);
        }
        if (!known)
            throw ConvertError::failed(
                QStringLiteral("%1 can’t be saved in %2 files").arg(field.label, format.toUpper()));
    }
    if (removeGPS)
        for (const QString& key : props.keys())
            if (ImageTags::isLocation(key.toStdString()) ||
                rule.holdsLocation(props.value(key).value_or(QString())))
                props.remove(key);
    if (!strip) props.setXmpPacket(keptXmp(source, format, fields, removeGPS, rule));
    ImageEngine::write(std::move(loaded.image), destination, format, props, 0.95, loaded.dpi);
}

// A HEIF copy keeps its coded pictures and has only its Exif and XMP items rewritten; a file
// whose boxes cannot be followed is encoded again, which the returned note says.
QStringList writeHeif(const QString& source, const QByteArray& bytes, const QString& destination,
                      const QString& format, const QList<MetaField>& edits, bool strip, bool removeGPS,
                      LocationRule& rule)
{
    const auto fieldIndex = [](const MetaField& field) {
        int i = 0;
        while (i < 3 && field.key != QLatin1String(fieldKeys[i]))
            ++i;
        return i;
    };
    for (const MetaField& field : edits)
        if (fieldIndex(field) == 3)
            throw ConvertError::failed(
                QStringLiteral("%1 can’t be saved in %2 files").arg(field.label, format.toUpper()));
    const QList<MetaField> primaryEdits = edits, noEdits;
    const auto exif = [&](Exiv2::ExifData& data, bool primary) {
        for (const MetaField& field : primary ? primaryEdits : noEdits) {
            const char* key = exifKeys[fieldIndex(field)];
            eraseAll(data, [key](const std::string& k) { return k == key; });
            if (!field.value.isEmpty()) data[key] = field.value.toStdString();
        }
        if (removeGPS) eraseLocation(data, rule);
    };
    const auto xmp = [&](Exiv2::XmpData& data, bool primary) {
        // A stale copy in XMP would win over the new text in most readers.
        for (const MetaField& field : primary ? primaryEdits : noEdits) {
            const char* key = xmpKeys[fieldIndex(field)];
            eraseAll(data, [key](const std::string& k) { return k == key; });
        }
        if (removeGPS) eraseLocation(data, rule);
    };
    const std::optional<QByteArray> copy =
        strip ? HeifTags::stripped(bytes) : HeifTags::changed(bytes, {exif, xmp});
    if (copy) {
        Output::writeFile(destination, *copy);
        return {};
    }
    reencode(source, destination, format, edits, strip, removeGPS, rule);
    return {QStringLiteral("%1 was encoded again, as its pictures couldn’t be copied as they are: the copy "
                           "holds its main picture alone, at 8 bits")
                .arg(QFileInfo(source).fileName())};
}

// The copy of `bytes`, the contents of `source`, as a strip, a location removal or an edit makes it.
void write(const QString& source, QByteArray bytes, const QString& destination, const QString& format,
           const QList<MetaField>& edits, bool strip, bool removeGPS, LocationRule& rule)
{
    const auto unreadable = [] { return ConvertError::failed(QStringLiteral("Couldn’t read the image")); };
    if (format == QLatin1String("gif") || format == QLatin1String("bmp")) {
        if (!edits.isEmpty())
            throw ConvertError::failed(
                QStringLiteral("%1 can’t be saved in %2 files").arg(edits[0].label, format.toUpper()));
        // A BMP holds no tags; a GIF keeps every frame and loses everything else, or the location
        // in its XMP.
        const std::optional<QByteArray> kept = format == QLatin1String("bmp") ? bytes
                                               : strip                        ? GifBlocks::pictureOnly(bytes)
                                               : removeGPS ? withoutLocationByHand(bytes, format, rule)
                                                           : bytes;
        if (!kept) throw unreadable();
        Output::writeFile(destination, *kept);
        return;
    }
    // exiv2 rewrites a JPEG's first picture and a TIFF's first pages only, and carries the
    // rest over as it finds it.
    if (TiffTags::pageCount(bytes) > 0) {
        writeTiff(bytes, destination, edits, strip, removeGPS, rule);
        return;
    }
    const auto change = [&](Exiv2::Image& image) { edit(image, edits, removeGPS, format, rule); };
    const bool jpeg = bytes.startsWith("\xFF\xD8");
    if (jpeg && !strip && removeGPS) {
        writeJpegWithoutLocation(bytes, destination, change, rule);
        return;
    }
    // A stripped copy is made of what shows the picture, whatever else the file holds; exiv2 then
    // gives it the orientation and the colour profile alone.
    if (jpeg && strip)
        bytes = JpegSegments::firstPicture(bytes, JpegSegments::Keep::decoding).value_or(QByteArray());
    if (!strip && removeGPS) bytes = withoutLocationByHand(bytes, format, rule).value_or(QByteArray());
    if (strip && bytes.startsWith("\x89PNG\r\n\x1A\n"))
        bytes = PngChunks::pictureOnly(bytes).value_or(QByteArray());
    if (strip && format == QLatin1String("webp"))
        bytes = WebpChunks::pictureOnly(bytes).value_or(QByteArray());
    if (bytes.isEmpty()) throw unreadable();
    if (strip) {
        rewrite(bytes, destination,
                [orientation = ImageProps::read(source).orientation()](Exiv2::Image& image) {
                    ::strip(image, orientation);
                });
    } else {
        // exiv2 carries a JPEG's later pictures over without following its index to them.
        const QByteArray written = rewritten(bytes, change);
        Output::writeFile(destination, jpeg ? JpegTags::reindexed(bytes, written) : written);
    }
}

// What `path` holds, told by its bytes, else by its name.
QString formatOf(const QString& path)
{
    return ImageContent::formatOf(path).value_or(Catalog::format(path).value_or(QString()));
}

} // namespace

namespace MetadataEngine {

ImageFields imageFields(const QString& path)
{
    ImageFields out;
    const std::optional<ImageTags> tags = ImageTags::read(path, formatOf(path));
    if (!tags) return out;
    const Exiv2::ExifData& exif = tags->exif;
    const Exiv2::XmpData& xmp = tags->xmp;
    QSize size = tags->size;
    for (int i = 0; i < 3; ++i)
        out.editable << MetaField{fieldKeys[i], labels[i], value(exif, exifKeys[i])};
    out.editable << MetaField{"keywords", "Keywords", keywords(tags->iptc, xmp).join(QStringLiteral(", "))};

    const QString camera = QStringList{value(exif, "Exif.Image.Make"), value(exif, "Exif.Image.Model")}
                               .filter(QRegularExpression(QStringLiteral(".")))
                               .join(QLatin1Char(' '));
    if (!camera.isEmpty()) out.info << qMakePair(QStringLiteral("Camera"), camera);
    if (const QString lens = value(exif, "Exif.Photo.LensModel"); !lens.isEmpty())
        out.info << qMakePair(QStringLiteral("Lens"), lens);
    if (const QString taken = value(exif, "Exif.Photo.DateTimeOriginal"); !taken.isEmpty())
        out.info << qMakePair(QStringLiteral("Taken"), taken);
    if (size.isEmpty()) size = QImageReader(path).size();
    if (!size.isEmpty())
        out.info << qMakePair(QStringLiteral("Size"),
                              QStringLiteral("%1 × %2").arg(size.width()).arg(size.height()));
    // The offer follows the removal's rule: what exiv2 reads, then what the removal would take
    // out of the places exiv2 does not read.
    LocationRule rule;
    tags->teach(rule);
    out.hasGPS = tags->holdsLocation(rule);
    if (QFile file(path); !out.hasGPS && file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        const std::optional<QString> format = ImageContent::format(bytes.left(256));
        out.hasGPS = format && withoutLocationByHand(bytes, *format, rule).value_or(bytes) != bytes;
    }
    if (const QString location = ImageLocation::describe(*tags); !location.isEmpty())
        out.info << qMakePair(QStringLiteral("Location"), location);
    return out;
}

QStringList writeImage(const QString& source, const QString& destination, const QList<MetaField>& fields,
                       bool strip, bool removeGPS)
{
    ImageTags::setUpExiv2();
    if (strip || removeGPS) ImageReadBack::reader(); // before anything is written
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly))
        throw ConvertError::failed(QStringLiteral("Couldn’t read the image"));
    QByteArray bytes = file.readAll();
    if (bytes.isEmpty()) throw ConvertError::failed(QStringLiteral("Couldn’t read the image"));
    const QString format = ImageContent::format(bytes.left(256))
                               .value_or(Catalog::format(source).value_or(QStringLiteral("jpg")));
    const QList<MetaField> edits = strip ? QList<MetaField>() : fields;
    // One rule for the removal and the read-back, which knows the source's place names.
    LocationRule rule;
    if (strip || removeGPS)
        if (const std::optional<ImageTags> tags = ImageTags::read(source, format)) tags->teach(rule);
    QStringList notes;
    if (ImageContent::isHeif(format))
        notes = writeHeif(source, bytes, destination, format, edits, strip, removeGPS, rule);
    else
        write(source, bytes, destination, format, edits, strip, removeGPS, rule);
    if (strip || removeGPS)
        ImageReadBack::refuseLeftovers(destination, QFileInfo(source).fileName(), format, strip, rule);
    return notes;
}

} // namespace MetadataEngine
