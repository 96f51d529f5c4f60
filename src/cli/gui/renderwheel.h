#pragma once

#include "core/wheelmode.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace CLI {

// Takes "--highlight N" out of the files of --render-wheel: the first "--highlight" with an
// element after it is removed together with that element, which gives the index when it is a
// decimal integer (optional sign, digits only, in range) and none otherwise. A trailing
// "--highlight" is left in place as a file.
std::optional<int> takeHighlight(QStringList& rest);

// Renders the wheel of `mode` for `files`, with petal `highlight` lit, fully opened over the
// wheel gradient into a 360 × 360 PNG. Returns the path written; throws ConvertError.
QString renderWheel(WheelMode mode, const QString& pngPath, const QStringList& files,
                    std::optional<int> highlight);

} // namespace CLI
