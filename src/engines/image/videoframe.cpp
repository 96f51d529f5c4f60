#include "engines/image/videoframe.h"

#include "core/converterror.h"
#include "core/shell.h"
#include "engines/media/libav.h"
#include "engines/media/media.h"

#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace Media {

QImage frame(const QString& path, double seconds, double maxSize)
{
    if (!std::isfinite(maxSize) || !(maxSize > 0)) return {};
    const auto program = Shell::find(QStringLiteral("ffmpeg"));
    if (!program) return {};
    const QString m = QString::number(std::max(1, int(std::min(maxSize, 65535.0))));
    // Shrinks by one factor so that both sides fit, never enlarges, and keeps a side of at least
    // one pixel for very thin pictures.
    const QString factor = QStringLiteral("min(1,min(%1/iw,%1/ih))").arg(m);
    const QString fit = QStringLiteral("scale=w='max(1,round(iw*%1))':h='max(1,round(ih*%1))'").arg(factor);
    // The frame shown at that moment: the last that starts at or before it, where ffmpeg's seek
    // alone would give the first at or after it.
    const std::optional<LibAv::ShownFrame> shown = LibAv::shownFrame(path, seconds);
    const double at = shown ? shown->cut : std::isfinite(seconds) && seconds > 0 ? seconds : 0;
    Shell::Result r;
    try {
        r = Shell::run(*program,
                       guardedInputs({"-v", "error", "-ss", QString::asprintf("%.3f", at), "-i", path,
                                      "-frames:v", "1", "-vf", fit, "-f", "image2pipe", "-c:v", "png", "-"}));
    } catch (const ConvertError&) {
        return {};
    }
    if (r.status != 0) return {};
    return QImage::fromData(r.stdoutBytes, "PNG");
}

} // namespace Media
