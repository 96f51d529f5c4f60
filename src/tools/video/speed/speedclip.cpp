#include "tools/video/speed/speedclip.h"

#include "engines/media/toolargs.h"

#include <algorithm>

namespace SpeedClip {

Span span(double time, double duration, double speed)
{
    if (!(duration > 0) || !(speed > 0)) return {};
    double from = std::clamp(time, 0.0, duration);
    if (duration - from < 0.5) from = 0;
    return {from, std::min(playedSeconds * speed, duration - from)};
}

QStringList args(const QString& source, const Span& span, double speed, bool keepPitch,
                 std::optional<int> sampleRate, const QString& out)
{
    using ToolArgs::fixed;
    // Scaled after the speed graph, whose picture comes out as [v]; even sides for the encoder.
    const QString graph = ToolArgs::speedGraph(speed, keepPitch, sampleRate) +
                          QStringLiteral(";[v]scale=w='min(%1,trunc(iw/2)*2)':h=-2[pv]").arg(maxWidth);
    QStringList a{QStringLiteral("-ss"),
                  fixed(span.from, 3),
                  QStringLiteral("-t"),
                  fixed(span.length, 3),
                  QStringLiteral("-i"),
                  source,
                  QStringLiteral("-filter_complex"),
                  graph,
                  QStringLiteral("-map"),
                  QStringLiteral("[pv]")};
    if (sampleRate) a << QStringLiteral("-map") << QStringLiteral("[a]");
    return a + QStringList{QStringLiteral("-c:v"),
                           QStringLiteral("libx264"),
                           QStringLiteral("-preset"),
                           QStringLiteral("ultrafast"),
                           QStringLiteral("-pix_fmt"),
                           QStringLiteral("yuv420p"),
                           QStringLiteral("-c:a"),
                           QStringLiteral("aac"),
                           QStringLiteral("-b:a"),
                           QStringLiteral("192k"),
                           out};
}

} // namespace SpeedClip
