#include "core/toolid.h"

#include <iterator>

namespace {

struct ToolText
{
    const char* raw;
    const char* name;
    const char* title;
    const char* symbol;
    bool windowless; // runs at once from its petal, without a window
};

// Indexed by the enum's value.
constexpr ToolText toolTexts[] = {
    {"compress", "Compress", "COMPRESS", "arrow.down.right.and.arrow.up.left", false},
    {"removeMetadata", "Metadata", "METADATA", "tag", false},
    {"editImage", "Edit Photo", "EDIT", "slider.horizontal.3", false},
    {"annotateImage", "Annotate Photo", "ANNOTATE", "pencil.and.outline", false},
    {"frameImage", "Add BG", "ADD BG", "photo.artframe", false},
    {"cropImage", "Crop Image", "CROP", "crop", false},
    {"normalizeAudio", "Normalize Volume", "NORMALIZE", "waveform", false},
    {"muteVideo", "Remove Audio", "MUTE", "speaker.slash.fill", true},
    {"trimVideo", "Trim Video", "TRIM", "scissors", false},
    {"splitPDF", "Split PDF", "SPLIT", "rectangle.split.2x1", true},
    {"organizePDF", "Organize PDF", "ORGANIZE", "square.grid.2x2", false},
    {"extractArchive", "Extract Archive", "EXTRACT", "archivebox", true},
    {"createPDF", "Create PDF", "CREATE PDF", "doc.badge.plus", true},
    {"mergePDF", "Merge PDFs", "MERGE PDF", "doc.on.doc", false},
    {"cropVideo", "Crop Video", "CROP", "crop", false},
    {"changeVideoSpeed", "Change Video Speed", "SPEED", "speedometer", false},
    {"joinVideos", "Join Videos", "JOIN", "film.stack", false},
    {"videoSnapshots", "Video Snapshots", "SNAPSHOT", "camera", false},
    {"splitVideo", "Split Video", "SPLIT", "film", false},
    {"audioToVideo", "Audio Visualizer", "VISUALIZE", "waveform.path.ecg", false},
    {"trimAudio", "Trim Audio", "TRIM", "scissors", false},
    {"audioChannels", "Convert Audio Channels", "CHANNELS", "hifispeaker.2", false},
    {"createCollage", "Create Collage", "COLLAGE", "rectangle.3.group", false},
    {"redactImage", "Redact Photo", "REDACT", "eye.slash", false},
    {"redactVideo", "Redact Video", "REDACT", "eye.slash", false},
    {"redactAudio", "Bleep Audio", "BLEEP", "waveform.badge.minus", false},
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

bool isWindowless(ToolID tool)
{
    return texts(tool).windowless;
}
