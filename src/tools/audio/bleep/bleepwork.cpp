#include "tools/audio/bleep/bleepwork.h"

#include "core/converterror.h"
#include "engines/media/media.h"
#include "engines/media/toolargs.h"
#include "engines/media/toolrun.h"
#include "tools/audio/shared/audiowrite.h"

#include <QDir>
#include <algorithm>

namespace BleepWork {

QStringList args(const QString& source, const QList<BleepRange>& sorted, int channels, int sampleRate,
                 const QString& ext, const AudioWrite::Kept& kept, const QString& out)
{
    return AudioWrite::graphed(source, Bleeper::filter(sorted, channels, sampleRate), ext, kept, out);
}

QStringList selfCheck(const QString& samples, Job& job)
{
    return ToolOps::bleep(QDir(samples).filePath(QStringLiteral("song.mp3")),
                          {{QUuid::createUuid(), 0.5, 1.0}, {QUuid::createUuid(), 2.0, 2.4}}, job,
                          [](double) {});
}

} // namespace BleepWork

namespace ToolOps {

QStringList bleep(const QString& source, const QList<BleepRange>& ranges, Job& job, const Progress& progress)
{
    if (ranges.isEmpty()) throw ConvertError::unsupported(QStringLiteral("There are no bleeps to apply"));
    ToolRun::checkSource(source);
    const QString ext = ToolRun::ext(source);
    const Media::Probe probe = Media::probe(source);
    QList<BleepRange> sorted = ranges;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const BleepRange& a, const BleepRange& b) { return a.start < b.start; });
    const AudioWrite::Kept kept = AudioWrite::kept(source, ext, true, job);
    return ToolRun::write(
        {source, {0, probe.duration}}, QStringLiteral("Bleeped"), job, progress,
        [&](const QString& temporary) {
            return BleepWork::args(source, sorted, probe.channels, probe.sampleRate, ext, kept, temporary);
        },
        {}, [&](const QString& temporary) { AudioWrite::finish(kept, temporary, job); });
}

} // namespace ToolOps

namespace Bleeper {

QStringList filter(const QList<BleepRange>& ranges, int channels, int sampleRate)
{
    if (ranges.isEmpty())
        return {QStringLiteral("-filter_complex"), QStringLiteral("[0:a]anull[out]"), QStringLiteral("-map"),
                QStringLiteral("[out]")};
    QStringList spans;
    for (const BleepRange& r : ranges)
        spans
            << QStringLiteral("between(t,%1,%2)").arg(ToolArgs::fixed(r.start, 3), ToolArgs::fixed(r.end, 3));
    const QString e = spans.join(QLatin1Char('+'));
    const QString tone = QStringLiteral("0.3*sin(2*PI*1000*t)*(") + e + QLatin1Char(')');
    // One expression per channel of the source: every channel that is silenced sounds the tone.
    const QString a = QStringList(std::max(channels, 1), tone).join(QLatin1Char('|'));
    // Silenced sample by sample: a filter's timeline switches whole frames, and a frame of a
    // lossless song (4096 samples of Apple Lossless) lasts longer than a short word.
    return {QStringLiteral("-filter_complex"),
            QStringLiteral("[0:a]aeval='val(ch)*not(") + e + QStringLiteral(")':c=same[muted];aevalsrc='") +
                a +
                QStringLiteral("':s=%1[beep];[muted][beep]amix=inputs=2:duration=first:normalize=0[out]")
                    .arg(sampleRate > 0 ? sampleRate : 48000),
            QStringLiteral("-map"), QStringLiteral("[out]")};
}

} // namespace Bleeper
