#include "tools/video/speed/speedclip.h"

#include "engines/media/toolargs.h"
#include "tools/video/speed/speedwork.h"

#include <algorithm>

namespace SpeedClip {

namespace {

// A piece from `from`; what it would leave of the file, when less than half a second, goes too.
Span from(double from, double duration, double speed, double played)
{
    const double rest = duration - from;
    const double length = played * speed;
    return {from, rest - length < 0.5 ? rest : length};
}

} // namespace

Span span(double time, double duration, double speed, double played)
{
    if (!(duration > 0) || !(speed > 0) || !(played > 0)) return {};
    const double start = std::clamp(time, 0.0, duration);
    return from(duration - start < 0.5 ? 0 : start, duration, speed, played);
}

Span following(const Span& piece, double duration, double speed, double played)
{
    const double start = piece.from + piece.length;
    if (!(duration > 0) || !(speed > 0) || !(played > 0) || !(piece.length > 0) || duration - start < 1e-3)
        return {start, 0};
    return from(start, duration, speed, played);
}

QStringList args(const QString& source, const Span& span, double speed, bool keepPitch,
                 std::optional<int> sampleRate, const QString& out)
{
    using ToolArgs::fixed;
    // Scaled after the speed graph, whose picture comes out as [v]; even sides for the encoder.
    const QString graph = SpeedWork::speedGraph(speed, keepPitch, sampleRate) +
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
