#pragma once

#include "core/redactstyle.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <optional>

// The small values that the audio and video tool windows choose and the tool operations take.
// Enumerations keep their raw values, which the windows show as segment labels.

// A stretch of a source in seconds from its start.
struct TimeRange
{
    double start = 0;
    double end = 0;
    bool operator==(const TimeRange&) const = default;
};

// A span of audio to silence and cover with a tone, in seconds from the start of the file.
struct BleepRange
{
    QUuid id = QUuid::createUuid();
    double start = 0;
    double end = 0;
    bool operator==(const BleepRange&) const = default;
};

// The normalize presets, in the order the window lists them.
enum class LoudnessTarget { streaming, podcast, broadcast, peak };
// The visualizer's frame shapes and drawing styles.
enum class VisualShape { landscape, portrait, square };
enum class VisualStyle { wave, line, bars };

// "Streaming", "Podcast", "Broadcast", "Peak"; "Landscape", …; "Wave", …
QString rawValue(LoudnessTarget target);
QString rawValue(VisualShape shape);
QString rawValue(VisualStyle style);
// Exactly the raw values, case-sensitive; none for any other text.
std::optional<LoudnessTarget> loudnessTargetFromRaw(const QString& raw);
std::optional<VisualShape> visualShapeFromRaw(const QString& raw);
std::optional<VisualStyle> visualStyleFromRaw(const QString& raw);
QList<LoudnessTarget> allLoudnessTargets();
QList<VisualShape> allVisualShapes();
QList<VisualStyle> allVisualStyles();

// The visualizer video's frame and the height of the strip the sound is drawn in, in pixels.
struct VisualFrame
{
    int width = 0;
    int height = 0;
    int strip = 0;
};
// 1920 × 1080 with a 360 strip, 1080 × 1920 with 480, 1080 × 1080 with 360.
VisualFrame visualFrame(VisualShape shape);
