#include "core/toolid.h"

#include <iterator>

namespace {

struct ToolText
{
    const char* raw;
    const char* name;
    const char* title;
    const char* symbol;
};

// Indexed by the enum's value.
constexpr ToolText toolTexts[] = {
    {"compress", "Compress", "COMPRESS", "arrow.down.right.and.arrow.up.left"},
    {"removeMetadata", "Metadata", "METADATA", "tag"},
    {"editImage", "Edit Photo", "EDIT", "slider.horizontal.3"},
    {"annotateImage", "Annotate Photo", "ANNOTATE", "pencil.and.outline"},
    {"frameImage", "Add BG", "ADD BG", "photo.artframe"},
    {"cropImage", "Crop Image", "CROP", "crop"},
    {"normalizeAudio", "Normalize Volume", "NORMALIZE", "waveform"},
    {"muteVideo", "Remove Audio", "MUTE", "speaker.slash.fill"},
    {"trimVideo", "Trim Video", "TRIM", "scissors"},
    {"splitPDF", "Split PDF", "SPLIT", "rectangle.split.2x1"},
    {"organizePDF", "Organize PDF", "ORGANIZE", "square.grid.2x2"},
    {"extractArchive", "Extract Archive", "EXTRACT", "archivebox"},
    {"createPDF", "Create PDF", "CREATE PDF", "doc.badge.plus"},
    {"mergePDF", "Merge PDFs", "MERGE PDF", "doc.on.doc"},
    {"cropVideo", "Crop Video", "CROP", "crop"},
    {"changeVideoSpeed", "Change Video Speed", "SPEED", "speedometer"},
    {"joinVideos", "Join Videos", "JOIN", "film.stack"},
    {"videoSnapshots", "Video Snapshots", "SNAPSHOT", "camera"},
    {"splitVideo", "Split Video", "SPLIT", "film"},
    {"audioToVideo", "Audio Visualizer", "VISUALIZE", "waveform.path.ecg"},
    {"trimAudio", "Trim Audio", "TRIM", "scissors"},
    {"audioChannels", "Convert Audio Channels", "CHANNELS", "hifispeaker.2"},
    {"createCollage", "Create Collage", "COLLAGE", "rectangle.3.group"},
    {"redactImage", "Redact Photo", "REDACT", "eye.slash"},
    {"redactVideo", "Redact Video", "REDACT", "eye.slash"},
    {"redactAudio", "Bleep Audio", "BLEEP", "waveform.badge.minus"},
};
static_assert(std::size(toolTexts) == int(ToolID::redactAudio) + 1);

const ToolText& texts(ToolID tool)
{
    return toolTexts[int(tool)];
}

} // namespace

QList<ToolID> allToolIds()
{
    QList<ToolID> all;
    for (int i = 0; i < int(std::size(toolTexts)); ++i)
        all << ToolID(i);
    return all;
}

QString rawValue(ToolID tool)
{
    return QString::fromLatin1(texts(tool).raw);
}

std::optional<ToolID> toolIdFromRaw(const QString& raw)
{
    for (ToolID tool : allToolIds()) {
        if (raw == QLatin1String(texts(tool).raw)) return tool;
    }
    return std::nullopt;
}

QString name(ToolID tool)
{
    return QString::fromLatin1(texts(tool).name);
}

QString title(ToolID tool)
{
    return QString::fromLatin1(texts(tool).title);
}

QString symbol(ToolID tool)
{
    return QString::fromLatin1(texts(tool).symbol);
}
