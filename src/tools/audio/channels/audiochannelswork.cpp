#include "tools/audio/channels/audiochannelswork.h"

#include "engines/media/media.h"
#include "engines/media/toolargs.h"
#include "engines/media/toolrun.h"
#include "tools/audio/shared/audiowrite.h"

#include <QDir>
#include <cmath>
#include <numbers>

namespace {

// The standard downmix of surround sound: each channel's share of the left and the right side.
// The centre and the surrounds come in at −3 dB, a back centre at −6 dB on each side, the
// low-frequency channel not at all. pan ignores the channels a layout lacks, so one table covers
// 5.1 with back or side surrounds and 7.1.
struct Share
{
    const char* channel;
    double left;
    double right;
};
constexpr double minus3dB = std::numbers::sqrt2 / 2;
constexpr Share downmix[] = {{"FL", 1, 0},        {"FR", 0, 1},        {"FC", minus3dB, minus3dB},
                             {"SL", minus3dB, 0}, {"SR", 0, minus3dB}, {"BL", minus3dB, 0},
                             {"BR", 0, minus3dB}, {"BC", 0.5, 0.5}};

// One side of `downmix`, its shares scaled by pan ("<") to add up to 1 over the channels the
// source has: sound that every channel carries in phase comes out as loud as it went in, never
// past full scale, where 16-bit samples would wrap around.
QString side(bool left)
{
    QStringList terms;
    for (const Share& s : downmix)
        if (const double g = left ? s.left : s.right; g > 0)
            terms << ToolArgs::gain(std::round(g * 1e4) / 1e4) + QLatin1Char('*') + QLatin1String(s.channel);
    return terms.join(QLatin1Char('+'));
}

} // namespace

namespace AudioChannelsWork {

QStringList args(const QString& source, const QString& filter, const QString& ext,
                 const AudioWrite::Kept& kept, const QString& out)
{
    return AudioWrite::filtered(source, filter, ext, kept, out);
}

QStringList selfCheck(const QString& samples, Job& job)
{
    return ToolOps::channels(QDir(samples).filePath(QStringLiteral("song.mp3")), false, 100, 80, job,
                             [](double) {});
}

} // namespace AudioChannelsWork

namespace ToolOps {

QStringList channels(const QString& source, bool stereo, double left, double right, Job& job,
                     const Progress& progress)
{
    ToolRun::checkSource(source);
    const QString ext = ToolRun::ext(source);
    const Media::Probe probe = Media::probe(source);
    // Each file's own channel count: a mono file among stereo ones still fills both sides.
    const QString pan = channelFilter(stereo, probe.channels, left, right);
    const AudioWrite::Kept kept = AudioWrite::kept(source, ext, false, job);
    return ToolRun::write(
        {source, {0, probe.duration}}, stereo ? QStringLiteral("Stereo") : QStringLiteral("Mono"), job,
        progress,
        [&](const QString& temporary) { return AudioChannelsWork::args(source, pan, ext, kept, temporary); },
        {}, [&](const QString& temporary) { AudioWrite::finish(kept, temporary, job); });
}

QString channelFilter(bool stereo, int sourceChannels, double left, double right)
{
    // Surround sound is mixed down to stereo first; the gains then apply to its two sides.
    if (sourceChannels > 2)
        return QStringLiteral("pan=stereo|c0<%1|c1<%2,").arg(side(true), side(false)) +
               channelFilter(stereo, 2, left, right);
    const double l = left / 100, r = right / 100;
    using ToolArgs::gain;
    if (!stereo)
        return sourceChannels < 2
                   ? QStringLiteral("pan=mono|c0=%1*c0").arg(gain(l))
                   : QStringLiteral("pan=mono|c0=%1*c0+%2*c1").arg(gain(l * 0.5), gain(r * 0.5));
    return sourceChannels < 2 ? QStringLiteral("pan=stereo|c0=%1*c0|c1=%2*c0").arg(gain(l), gain(r))
                              : QStringLiteral("pan=stereo|c0=%1*c0|c1=%2*c1").arg(gain(l), gain(r));
}

} // namespace ToolOps
