#include "engines/metadata/heavy/imagereadback.h"

#include "core/converterror.h"
#include "core/shell.h"
#include "engines/metadata/heavy/imagecontent.h"
#include "engines/metadata/heavy/imagetags.h"
#include "engines/metadata/heavy/locationnames.h"
#include "engines/metadata/heavy/locationrule.h"
#include "engines/metadata/heavy/tifftags.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <algorithm>

namespace {

// What a reader says about the file rather than what the file says.
bool aboutTheFile(const QString& group)
{
    return group == QLatin1String("ExifTool") || group == QLatin1String("System") ||
           group == QLatin1String("Composite");
}

// Groups that only describe how the picture is stored and shown: its container, its coding, its
// colour profile.
bool showsThePicture(const QString& group, const QString& name, const QJsonValue& id)
{
    static const QSet<QString> groups{"File", "JFIF", "Adobe", "RIFF", "QuickTime", "Meta", "GIF"};
    // The header, colours, palette, animation and placement of a PNG, which share its group with
    // text.
    static const QStringList png =
        QStringLiteral("ImageWidth ImageHeight BitDepth ColorType Compression Filter Interlace Gamma "
                       "SRGBRendering WhitePointX WhitePointY RedX RedY GreenX GreenY BlueX BlueY "
                       "BackgroundColor Palette Transparency SignificantBits ProfileName AnimationFrames "
                       "AnimationPlays ColorPrimaries TransferCharacteristics MatrixCoefficients "
                       "VideoFullRangeFlag ImageOffset VirtualImageWidth VirtualImageHeight VirtualPageUnits "
                       "SubjectUnits SubjectPixelWidth SubjectPixelHeight StereoMode PaletteHistogram "
                       "SuggestedPalette PixelCalibration")
            .split(QLatin1Char(' '));
    if (name == QLatin1String("Comment")) return false;
    // A chunk of its own (pHYs, oFFs, vpAg) is a PNG-<chunk> group; text is in the PNG group.
    if (groups.contains(group) || group.startsWith(QLatin1String("ICC")) ||
        group.startsWith(QLatin1String("PNG-")))
        return true;
    if (group == QLatin1String("PNG")) return png.contains(name);
    const bool pictureDirectory =
        group.startsWith(QLatin1String("IFD")) || group.startsWith(QLatin1String("SubIFD"));
    // A name without a tag number of its own (a preview read from the strips) comes from tags
    // judged on their own.
    return pictureDirectory && (id.isString() || TiffTags::showsThePage(quint16(id.toInt())));
}

// Whether exiftool's `value` of a tag, a text or a list of them, tells a location as `rule`
// judges it; `named` when the tag's name is a location's, which then only needs to be filled.
bool tellsLocation(const QJsonValue& value, bool named, const LocationRule& rule)
{
    if (value.isString()) {
        const QString text = value.toString();
        return (named && !text.trimmed().isEmpty()) || rule.holdsLocation(text);
    }
    if (value.isArray()) {
        const QJsonArray items = value.toArray();
        return std::any_of(items.begin(), items.end(),
                           [&](const QJsonValue& item) { return tellsLocation(item, named, rule); });
    }
    return named; // a number, or no value printed
}

QString word(const QString& group, const QString& name)
{
    if (name == QLatin1String("Comment")) return QStringLiteral("the comment");
    if (group.startsWith(QLatin1String("XMP"))) return QStringLiteral("the XMP tags");
    if (group.startsWith(QLatin1String("IPTC"))) return QStringLiteral("the IPTC tags");
    static const QStringList exif{"IFD", "SubIFD", "ExifIFD", "InteropIFD", "GlobParamIFD", "MakerNotes"};
    for (const QString& start : exif)
        if (group.startsWith(start)) return QStringLiteral("the Exif tags");
    return QStringLiteral("the %1 tags").arg(group);
}

} // namespace

namespace ImageReadBack {

QString reader()
{
    if (const std::optional<QString> path = Shell::find(QStringLiteral("exiftool"))) return *path;
    throw ConvertError::missingTool(
        QStringLiteral("This needs exiftool. Install it with: sudo apt install libimage-exiftool-perl"));
}

QStringList leftovers(const QString& copy, const QString& name, bool strip, const LocationRule& rule)
{
    const QString failed =
        QStringLiteral("Couldn’t read back the copy of %1 to check its tags, so no copy was saved").arg(name);
    // No configuration file, which could run code; every group, embedded picture, unknown tag and
    // extended XMP of any GUID; tag ids to tell a picture's own directory entries; the path is no
    // option.
    const Shell::Result result = Shell::run(
        reader(), {QStringLiteral("-config"), QString(), QStringLiteral("-j"), QStringLiteral("-a"),
                   QStringLiteral("-ee"), QStringLiteral("-G1"), QStringLiteral("-u"), QStringLiteral("-D"),
                   QStringLiteral("-api"), QStringLiteral("ExtendedXMP=2"), QStringLiteral("--"),
                   QFileInfo(copy).absoluteFilePath()});
    if (result.status != 0)
        throw ConvertError::failed(failed, Shell::failureText(QStringLiteral("exiftool"), result));
    const QJsonArray files = QJsonDocument::fromJson(result.stdoutBytes).array();
    if (files.size() != 1 || !files[0].isObject())
        throw ConvertError::failed(failed, QStringLiteral("exiftool printed no tags"));
    const QJsonObject tags = files[0].toObject();
    QStringList out;
    const auto add = [&out](const QString& w) {
        if (!out.contains(w)) out << w;
    };
    for (auto it = tags.begin(); it != tags.end(); ++it) {
        const qsizetype colon = it.key().indexOf(QLatin1Char(':'));
        if (colon < 0) continue; // the file's name
        const QString group = it.key().left(colon), tag = it.key().mid(colon + 1);
        const QJsonValue id = it.value().toObject().value(QLatin1String("id"));
        const QJsonValue value =
            it.value().isObject() ? it.value().toObject().value(QLatin1String("val")) : it.value();
        if (group == QLatin1String("ExifTool") && tag == QLatin1String("Error"))
            throw ConvertError::failed(
                failed, it.value().toObject().value(QLatin1String("val")).toString(it.value().toString()));
        // A colour profile's colorant and channel coordinates are colours.
        if (aboutTheFile(group) || group.startsWith(QLatin1String("ICC"))) continue;
        // The file's own name and folder are no tags; its comment is.
        if (group == QLatin1String("File") && tag != QLatin1String("Comment")) continue;
        const bool named = LocationNames::isLocationName(tag) ||
                           (id.isString() && LocationNames::isLocationName(id.toString()));
        if (group == QLatin1String("GPS") || tellsLocation(value, named, rule))
            add(QStringLiteral("the location"));
        else if (strip && !showsThePicture(group, tag, id))
            add(word(group, tag));
    }
    return out;
}

void refuseLeftovers(const QString& copy, const QString& name, const QString& format, bool strip,
                     const LocationRule& rule)
{
    // Read as what the copy holds, whatever the writer took it for.
    const std::optional<ImageTags> tags =
        ImageTags::read(copy, ImageContent::formatOf(copy).value_or(format));
    if (!tags)
        throw ConvertError::failed(
            QStringLiteral("Couldn’t read back the copy of %1 to check its tags, so no copy was saved")
                .arg(name));
    // exiv2's reading, then exiftool's, which knows places exiv2 does not.
    QStringList left = tags->leftovers(strip, rule);
    for (const QString& word : leftovers(copy, name, strip, rule))
        if (!left.contains(word)) left << word;
    if (left.isEmpty()) return;
    static const QStringList order{"the location", "the Exif tags", "the XMP tags", "the IPTC tags",
                                   "the comment"};
    std::stable_sort(left.begin(), left.end(), [](const QString& a, const QString& b) {
        return std::make_pair(order.indexOf(a) < 0, order.indexOf(a)) <
               std::make_pair(order.indexOf(b) < 0, order.indexOf(b));
    });
    const QString last = left.takeLast();
    throw ConvertError::failed(
        QStringLiteral("Couldn’t remove %1 from %2, so no copy was saved")
            .arg(left.isEmpty() ? last : left.join(QStringLiteral(", ")) + " and " + last, name));
}

} // namespace ImageReadBack
