#include "tools/image/collage/collagelayout.h"

namespace CollageLayouts {

const QList<CollageLayout>& all()
{
    static const QList<CollageLayout> list{CollageLayout::grid, CollageLayout::row, CollageLayout::column,
                                           CollageLayout::featured};
    return list;
}

QString rawValue(CollageLayout layout)
{
    switch (layout) {
    case CollageLayout::grid:
        return QStringLiteral("Grid");
    case CollageLayout::row:
        return QStringLiteral("Row");
    case CollageLayout::column:
        return QStringLiteral("Column");
    case CollageLayout::featured:
        return QStringLiteral("Featured");
    }
    return {};
}

std::optional<CollageLayout> fromRaw(const QString& raw)
{
    for (CollageLayout l : all())
        if (rawValue(l) == raw) return l;
    return std::nullopt;
}

} // namespace CollageLayouts
