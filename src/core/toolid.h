#pragma once

#include <QList>
#include <QString>
#include <optional>

// The editing tools, in the order the wheel lists them.
enum class ToolID {
    compress,
    removeMetadata,
    editImage,
    annotateImage,
    frameImage,
    cropImage,
    normalizeAudio,
    muteVideo,
    trimVideo,
    splitPDF,
    organizePDF,
    extractArchive,
    createPDF,
    mergePDF,
    cropVideo,
    changeVideoSpeed,
    joinVideos,
    videoSnapshots,
    splitVideo,
    audioToVideo,
    trimAudio,
    audioChannels,
    createCollage,
    redactImage,
    redactVideo,
    redactAudio,
};

QList<ToolID> allToolIds();
// The case name; the command line's tool argument.
QString rawValue(ToolID tool);
std::optional<ToolID> toolIdFromRaw(const QString& raw);
// The title of the tool's window ("Trim Video").
QString name(ToolID tool);
// The petal's short upper-case label ("TRIM").
QString title(ToolID tool);
// The name of the petal's icon, drawn by our own painter.
QString symbol(ToolID tool);
// Whether the tool runs at once from its petal (remove audio, split PDF, extract archive, create
// PDF) rather than opening its window.
bool isWindowless(ToolID tool);
