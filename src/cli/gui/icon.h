#pragma once

#include <QString>
#include <optional>

namespace CLI {

// The largest --icon size drawn; beyond it the bitmap alone would take hundreds of megabytes.
inline constexpr double maxIconSize = 8192;

// The SIZE argument of --icon: the whole text as a decimal floating-point number ("64",
// "64.7", "1e2"); none for anything else.
std::optional<double> iconSize(const QString& text);

// Draws the application icon into a `size`-point square on a bitmap of int(size) pixels and
// writes it as PNG. Returns the path written; throws ConvertError for a size that gives no
// bitmap (below one pixel, above maxIconSize, not finite) or when the file cannot be written.
QString renderIcon(const QString& pngPath, double size);

} // namespace CLI
