#include "toolkit/cropaspect.h"

#include <iterator>

namespace {

struct Preset
{
    const char* raw;
    double ratio; // 0: none
};

// Indexed by the enum's value.
constexpr Preset presets[] = {
    {"Free", 0},      {"1:1", 1},       {"16:9", 16.0 / 9}, {"9:16", 9.0 / 16},
    {"4:3", 4.0 / 3}, {"3:4", 3.0 / 4}, {"4:5", 4.0 / 5},
};
static_assert(std::size(presets) == int(CropAspect::fourFive) + 1);

} // namespace

QList<CropAspect> allCropAspects()
{
    QList<CropAspect> all;
    for (int i = 0; i < int(std::size(presets)); ++i)
        all << CropAspect(i);
    return all;
}

QString rawValue(CropAspect aspect)
{
    return QString::fromLatin1(presets[int(aspect)].raw);
}

std::optional<CropAspect> cropAspectFromRaw(const QString& raw)
{
    for (CropAspect aspect : allCropAspects()) {
        if (rawValue(aspect) == raw) return aspect;
    }
    return std::nullopt;
}

std::optional<double> ratio(CropAspect aspect)
{
    const double r = presets[int(aspect)].ratio;
    return r > 0 ? std::optional<double>(r) : std::nullopt;
}
