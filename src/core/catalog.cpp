#include "core/catalog.h"

#include <QFileInfo>
#include <algorithm>

namespace Catalog {

namespace {

enum class ToolFamily { raster, svg, audio, video, gif, pdf, archive };

struct Tables
{
    const QStringList image{"jpg", "png", "webp", "heic", "tiff", "svg", "avif", "bmp"};
    const QStringList audio{"mp3", "m4a", "wav", "flac", "ogg", "opus", "aiff", "wma"};
    const QStringList video{"mp4", "mov", "mkv", "webm", "avi", "wmv"};
    const QStringList spreadsheet{"xlsx", "xls", "ods", "csv", "tsv"};
    const QStringList document{"docx", "pages", "md", "rtf", "rtfd", "textClipping", "html", "odt", "doc"};
    const QStringList subtitle{"srt", "vtt"};
    const QStringList archive{"zip", "tar", "gz", "rar"};
    // Folders that count as one file.
    const QStringList packages{"rtfd", "pages", "key", "numbers"};
    const QSet<QString> inputOnly{"rar", "ppt", "xls", "rtf", "rtfd", "textClipping", "svg", "doc", "odt"};
    // Nothing on this system writes Pages documents, so pages is read but never a target.
    const QSet<QString> neverTargets = inputOnly + QSet<QString>{"pages"};
    const QHash<QString, QString> aliases{
        {"jpeg", "jpg"},   {"jpe", "jpg"},  {"tif", "tiff"},
        {"heif", "heic"},  {"htm", "html"}, {"markdown", "md"},
        {"mdown", "md"},   {"qt", "mov"},   {"text", "txt"},
        {"tgz", "gz"},     {"aif", "aiff"}, {"aifc", "aiff"},
        {"m4v", "mp4"},    {"oga", "ogg"},  {"textclipping", "textClipping"},
        {"webvtt", "vtt"},
    };
};

// Function-local static: built once, safely, whichever thread gets here first.
const Tables& tables()
{
    static const Tables t;
    return t;
}

// The targets of a format before the format itself and the never-written ones are removed.
QStringList family(const QString& key)
{
    const Tables& t = tables();
    if (t.image.contains(key)) return {"jpg", "png", "webp", "heic", "tiff", "avif", "bmp", "pdf", "docx"};
    if (t.audio.contains(key)) return t.audio;
    if (t.video.contains(key)) return t.video + QStringList{"gif", "mp3"};
    if (key == QLatin1String("gif")) return t.video;
    if (key == QLatin1String("pdf"))
        return {"docx", "pages", "pptx", "xlsx", "jpg", "png", "epub", "txt", "md"};
    if (key == QLatin1String("ppt") || key == QLatin1String("pptx") || key == QLatin1String("key"))
        return {"pdf", "jpg", "png", "pptx"};
    if (t.spreadsheet.contains(key) || key == QLatin1String("numbers"))
        return t.spreadsheet + QStringList{"pdf"};
    if (t.document.contains(key)) return {"docx", "pages", "pdf", "txt", "md", "html", "epub", "png", "jpg"};
    if (key == QLatin1String("epub")) return {"pdf", "docx", "pages", "txt", "md", "html"};
    if (key == QLatin1String("txt")) return {"docx", "pages", "pdf", "md", "html", "epub", "jpg", "png"};
    if (t.subtitle.contains(key)) return {"srt", "vtt", "txt"};
    if (t.archive.contains(key)) return {"zip", "tar", "gz"};
    return {};
}

std::optional<ToolFamily> toolFamily(const QString& key)
{
    static const QHash<QString, ToolFamily> families{
        {"jpg", ToolFamily::raster},  {"png", ToolFamily::raster},  {"webp", ToolFamily::raster},
        {"heic", ToolFamily::raster}, {"tiff", ToolFamily::raster}, {"avif", ToolFamily::raster},
        {"bmp", ToolFamily::raster},  {"svg", ToolFamily::svg},     {"mp3", ToolFamily::audio},
        {"m4a", ToolFamily::audio},   {"wav", ToolFamily::audio},   {"flac", ToolFamily::audio},
        {"aiff", ToolFamily::audio},  {"mp4", ToolFamily::video},   {"mov", ToolFamily::video},
        {"mkv", ToolFamily::video},   {"gif", ToolFamily::gif},     {"pdf", ToolFamily::pdf},
        {"zip", ToolFamily::archive}, {"tar", ToolFamily::archive}, {"gz", ToolFamily::archive},
        {"rar", ToolFamily::archive},
    };
    const auto it = families.constFind(key);
    if (it == families.constEnd()) return std::nullopt;
    return *it;
}

QList<ToolID> familyTools(ToolFamily family, bool several)
{
    using enum ToolID;
    switch (family) {
    case ToolFamily::raster:
        if (several) return {compress, removeMetadata, cropImage, createPDF, createCollage};
        return {compress, removeMetadata, editImage, annotateImage, frameImage, cropImage, redactImage};
    case ToolFamily::svg:
        if (several) return {createPDF, createCollage};
        return {};
    case ToolFamily::audio:
        return {compress,  removeMetadata, normalizeAudio, audioToVideo,
                trimAudio, audioChannels,  redactAudio};
    case ToolFamily::video:
        if (several)
            return {compress, removeMetadata, muteVideo, trimVideo, cropVideo, changeVideoSpeed, joinVideos};
        return {compress,         removeMetadata, muteVideo,  trimVideo,  cropVideo,
                changeVideoSpeed, videoSnapshots, splitVideo, redactVideo};
    case ToolFamily::gif:
        return {removeMetadata};
    case ToolFamily::pdf:
        if (several) return {compress, removeMetadata, splitPDF, mergePDF};
        return {compress, removeMetadata, splitPDF, organizePDF};
    case ToolFamily::archive:
        return {extractArchive};
    }
    return {};
}

// The tools that work on several files at once.
bool takesSeveralFiles(ToolID tool)
{
    using enum ToolID;
    static const QSet<ToolID> several{compress,  removeMetadata, cropImage,      normalizeAudio,
                                      muteVideo, splitPDF,       extractArchive, createPDF,
                                      mergePDF,  joinVideos,     createCollage};
    return several.contains(tool);
}

} // namespace

std::optional<QString> format(const QString& path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    const QString name = trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1).toLower();
    if (name.endsWith(QLatin1String(".tar.gz"))) return QStringLiteral("gz");

    // A leading dot starts a hidden name, not an extension.
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot > 0 ? name.mid(dot + 1) : QString();
    const Tables& t = tables();
    const QString key = t.aliases.value(extension, extension);
    if (!category(key)) return std::nullopt;
    // A path that does not exist is judged as a file.
    if (QFileInfo(trimmed).isDir() && !t.packages.contains(extension)) return std::nullopt;
    return key;
}

std::optional<FileCategory> category(const QString& key)
{
    const Tables& t = tables();
    if (t.image.contains(key)) return FileCategory::image;
    if (t.audio.contains(key)) return FileCategory::audio;
    if (t.video.contains(key) || key == QLatin1String("gif")) return FileCategory::video;
    if (key == QLatin1String("pdf")) return FileCategory::pdf;
    if (key == QLatin1String("ppt") || key == QLatin1String("pptx") || key == QLatin1String("key"))
        return FileCategory::slides;
    if (t.spreadsheet.contains(key) || key == QLatin1String("numbers")) return FileCategory::spreadsheet;
    if (t.document.contains(key)) return FileCategory::document;
    if (key == QLatin1String("txt")) return FileCategory::text;
    if (key == QLatin1String("epub")) return FileCategory::epub;
    if (t.subtitle.contains(key)) return FileCategory::subtitle;
    if (t.archive.contains(key)) return FileCategory::archive;
    return std::nullopt;
}

QStringList conversions(const QString& key)
{
    const Tables& t = tables();
    QStringList targets = family(key);
    targets.removeIf([&](const QString& target) { return target == key || t.neverTargets.contains(target); });
    return targets;
}

QStringList conversions(const QStringList& paths)
{
    if (paths.isEmpty()) return {};
    QStringList keys;
    for (const QString& path : paths) {
        const std::optional<QString> key = format(path);
        if (!key) return {};
        keys << *key;
    }
    keys.removeDuplicates();
    if (keys.size() == 1) return conversions(keys.first());

    QStringList candidates = family(keys.first());
    for (const QString& key : keys) {
        if (!candidates.contains(key)) candidates << key;
    }
    QHash<QString, QStringList> ownTargets;
    for (const QString& key : keys)
        ownTargets.insert(key, conversions(key));

    const Tables& t = tables();
    QStringList result;
    for (const QString& candidate : candidates) {
        if (t.neverTargets.contains(candidate)) continue;
        const bool everyFile = std::all_of(keys.cbegin(), keys.cend(), [&](const QString& key) {
            return key == candidate || ownTargets.value(key).contains(candidate);
        });
        if (everyFile) result << candidate;
    }
    return result;
}

QList<ToolID> tools(const QStringList& paths)
{
    if (paths.isEmpty()) return {};
    QList<std::optional<ToolFamily>> families;
    for (const QString& path : paths) {
        const std::optional<QString> key = format(path);
        families << (key ? toolFamily(*key) : std::nullopt);
    }
    const std::optional<ToolFamily> first = families.first();
    if (!first) return {};

    // Counting files, not formats: two copies of one picture are several files.
    const bool several = paths.size() > 1;
    if (several) {
        const auto isPicture = [](const std::optional<ToolFamily>& f) {
            return f == ToolFamily::raster || f == ToolFamily::svg;
        };
        if (std::all_of(families.cbegin(), families.cend(), isPicture) && families.contains(ToolFamily::svg))
            return {ToolID::createPDF, ToolID::createCollage};
    }
    if (std::any_of(families.cbegin(), families.cend(), [&](const auto& f) { return f != first; })) return {};

    QList<ToolID> result = familyTools(*first, several);
    if (several) result.removeIf([](ToolID tool) { return !takesSeveralFiles(tool); });
    return result;
}

QList<WheelItem> items(WheelMode mode, const QStringList& paths)
{
    QList<WheelItem> result;
    switch (mode) {
    case WheelMode::conversions:
        for (const QString& key : conversions(paths))
            result << WheelItem::format(key);
        break;
    case WheelMode::tools:
        for (ToolID tool : tools(paths))
            result << WheelItem::tool(tool);
        break;
    case WheelMode::actions:
        for (ActionID action : allActionIds())
            result << WheelItem::action(action);
        break;
    }
    return result;
}

int conversionPathCount()
{
    // key and numbers convert too but are not counted as sources.
    static const int count = [] {
        const Tables& t = tables();
        const QStringList sources = t.image + t.audio + t.video + QStringList{"gif", "pdf", "ppt", "pptx"} +
                                    t.spreadsheet + t.document + QStringList{"epub", "txt"} + t.subtitle +
                                    t.archive;
        int total = 0;
        for (const QString& source : sources)
            total += int(conversions(source).size());
        return total;
    }();
    return count;
}

const QHash<QString, QString>& aliases()
{
    return tables().aliases;
}

const QSet<QString>& inputOnly()
{
    return tables().inputOnly;
}

} // namespace Catalog
