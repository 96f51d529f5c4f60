#pragma once

#include <QList>
#include <QString>
#include <optional>

// How a collage lays its pictures out, in the order the window offers them.
enum class CollageLayout { grid, row, column, featured };

namespace CollageLayouts {

const QList<CollageLayout>& all();
// "Grid", "Row", "Column", "Featured": also the window's labels.
QString rawValue(CollageLayout layout);
std::optional<CollageLayout> fromRaw(const QString& raw);

} // namespace CollageLayouts
