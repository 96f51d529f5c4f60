#include "tools/image/annotate/mark.h"

#include <iterator>

namespace {

// Indexed by the enum's value.
constexpr const char* raws[] = {"arrow", "rect", "ellipse", "line", "pen", "highlight", "text", "number"};
static_assert(std::size(raws) == int(Mark::Kind::number) + 1);

} // namespace

QList<Mark::Kind> allMarkKinds()
{
    QList<Mark::Kind> all;
    for (int i = 0; i < int(std::size(raws)); ++i)
        all << Mark::Kind(i);
    return all;
}

QString rawValue(Mark::Kind kind)
{
    return QString::fromLatin1(raws[int(kind)]);
}

std::optional<Mark::Kind> markKindFromRaw(const QString& raw)
{
    for (Mark::Kind kind : allMarkKinds()) {
        if (rawValue(kind) == raw) return kind;
    }
    return std::nullopt;
}
