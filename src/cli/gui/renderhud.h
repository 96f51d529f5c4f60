#pragma once

#include <QString>

namespace CLI {

// Draws two demonstration progress panels, one running and one finished, over the backdrop
// into a 328 × 186 PNG. Returns the path written; throws ConvertError.
QString renderHud(const QString& pngPath);

} // namespace CLI
