#include "engines/media/toolchoices.h"

#include <array>

namespace {

template <class E, std::size_t N> struct Names
{
    std::array<std::pair<E, const char*>, N> rows;

    QString raw(E value) const
    {
        for (const auto& [e, name] : rows)
            if (e == value) return QString::fromLatin1(name);
        return {};
    }
    std::optional<E> parse(const QString& raw) const
    {
        for (const auto& [e, name] : rows)
            if (raw == QLatin1String(name)) return e;
        return std::nullopt;
    }
    QList<E> all() const
    {
        QList<E> out;
        for (const auto& row : rows)
            out << row.first;
        return out;
    }
};

constexpr Names<LoudnessTarget, 4> targets{{{{LoudnessTarget::streaming, "Streaming"},
                                             {LoudnessTarget::podcast, "Podcast"},
                                             {LoudnessTarget::broadcast, "Broadcast"},
                                             {LoudnessTarget::peak, "Peak"}}}};
constexpr Names<VisualShape, 3> shapes{{{{VisualShape::landscape, "Landscape"},
                                         {VisualShape::portrait, "Portrait"},
                                         {VisualShape::square, "Square"}}}};
constexpr Names<VisualStyle, 3> styles{
    {{{VisualStyle::wave, "Wave"}, {VisualStyle::line, "Line"}, {VisualStyle::bars, "Bars"}}}};

} // namespace

QString rawValue(LoudnessTarget target)
{
    return targets.raw(target);
}

QString rawValue(VisualShape shape)
{
    return shapes.raw(shape);
}

QString rawValue(VisualStyle style)
{
    return styles.raw(style);
}

std::optional<LoudnessTarget> loudnessTargetFromRaw(const QString& raw)
{
    return targets.parse(raw);
}

std::optional<VisualShape> visualShapeFromRaw(const QString& raw)
{
    return shapes.parse(raw);
}

std::optional<VisualStyle> visualStyleFromRaw(const QString& raw)
{
    return styles.parse(raw);
}

QList<LoudnessTarget> allLoudnessTargets()
{
    return targets.all();
}

QList<VisualShape> allVisualShapes()
{
    return shapes.all();
}

QList<VisualStyle> allVisualStyles()
{
    return styles.all();
}

VisualFrame visualFrame(VisualShape shape)
{
    switch (shape) {
    case VisualShape::portrait:
        return {1080, 1920, 480};
    case VisualShape::square:
        return {1080, 1080, 360};
    case VisualShape::landscape:
        break;
    }
    return {1920, 1080, 360};
}
