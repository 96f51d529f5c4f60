#pragma once

#include <QString>

namespace CLI {

// The settings window as it opens, 540 × 680 on the warm backdrop, in a 560 × 700 PNG. Returns
// the path written; throws ConvertError.
QString renderSettings(const QString& pngPath);

} // namespace CLI
