#include "engines/media/toolops.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/output.h"
#include "core/shell.h"
#include "engines/media/media.h"
#include "engines/media/toolargs.h"
#include "engines/media/toolrun.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

namespace {

QString pastTheEnd(const QString& source)
{
    return QStringLiteral("The chosen range lies past the end of %1").arg(ToolRun::fileName(source));
}

// One write through ffmpeg into "<base> <suffix>.<ext>", as most audio operations make it.
// With `empty`, a result without sound fails with that message.
QStringList writeAudio(const QString& source, const QString& suffix, double duration, Job& job,
                       const Progress& progress, const std::function<QStringList(const QString&)>& argsFor,
                       const QString& empty = {})
{
    const QString destination = ToolRun::destination(source, suffix, ToolRun::extension(source));
    return {Output::write(
        destination,
        [&](const QString& temporary) {
            ToolRun::ffmpeg(argsFor(temporary), duration, job, progress);
            if (!empty.isEmpty()) ToolRun::requireContent(temporary, empty);
        },
        &job)};
}

// The loudest peak in dB, from the standard error of the measuring pass; none without one.
std::optional<double> maxVolume(const QString& errors)
{
    static const QRegularExpression pattern(QStringLiteral(R"(max_volume:\s*(-?[\d.]+) dB)"));
    const QRegularExpressionMatch m = pattern.match(errors);
    if (!m.hasMatch()) return std::nullopt;
    bool ok = false;
    const double value = m.captured(1).toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

double measurePeak(const QString& source, Job& job)
{
    const QString program = Media::require(QStringLiteral("ffmpeg"));
    job.throwIfCancelled();
    const Shell::Result r =
        Shell::run(program, Media::guardedInputs(ToolArgs::peakMeasure(source)), std::nullopt, &job);
    if (const auto peak = maxVolume(r.stderrText); peak && r.status == 0) return *peak;
    // Without a measured peak any gain would be a guess.
    throw ConvertError::failed(
        QStringLiteral("Couldn’t measure the loudest peak of %1: it has no sound ffmpeg can read")
            .arg(ToolRun::fileName(source)),
        r.stderrText.trimmed());
}

// Cover pictures go along where the container holds them and the source has no real picture
// stream, which would be copied with them.
bool keepsCovers(const Media::Probe& probe, const QString& ext)
{
    return ToolArgs::carriesCovers(ext) && !probe.videoCodec;
}

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

// One output channel of `downmix`: the left side at the gain `left`, the right at `right`, each
// left out when none.
QString mix(std::optional<double> left, std::optional<double> right)
{
    QStringList terms;
    for (const Share& s : downmix) {
        if (!(left && s.left > 0) && !(right && s.right > 0)) continue;
        const double g = left.value_or(0) * s.left + right.value_or(0) * s.right;
        // Four decimals keep the products short; the coefficients need no more.
        terms << ToolArgs::gain(std::round(g * 1e4) / 1e4) + QLatin1Char('*') + QLatin1String(s.channel);
    }
    return terms.join(QLatin1Char('+'));
}

// Mono is the mean of the two sides.
QString surroundFilter(bool stereo, double l, double r)
{
    if (!stereo) return QStringLiteral("pan=mono|c0=") + mix(l / 2, r / 2);
    return QStringLiteral("pan=stereo|c0=") + mix(l, std::nullopt) + QStringLiteral("|c1=") +
           mix(std::nullopt, r);
}

} // namespace

namespace ToolOps {

QStringList trimAudio(const QString& source, double from, double to, Job& job, const Progress& progress)
{
    ToolRun::checkSource(source);
    const QString ext = ToolRun::ext(source);
    const Media::Probe probe = Media::probe(source);
    ToolRun::refusePastTheEnd(from, probe.duration, pastTheEnd(source));
    return writeAudio(
        source, QStringLiteral("Trimmed"), to - from, job, progress,
        [&](const QString& temporary) {
            return ToolArgs::trimAudio(source, from, to, ext, keepsCovers(probe, ext), temporary);
        },
        pastTheEnd(source));
}

QString channelFilter(bool stereo, int sourceChannels, double left, double right)
{
    const double l = left / 100, r = right / 100;
    using ToolArgs::gain;
    if (sourceChannels > 2) return surroundFilter(stereo, l, r);
    if (!stereo)
        return sourceChannels < 2
                   ? QStringLiteral("pan=mono|c0=%1*c0").arg(gain(l))
                   : QStringLiteral("pan=mono|c0=%1*c0+%2*c1").arg(gain(l * 0.5), gain(r * 0.5));
    return sourceChannels < 2 ? QStringLiteral("pan=stereo|c0=%1*c0|c1=%2*c0").arg(gain(l), gain(r))
                              : QStringLiteral("pan=stereo|c0=%1*c0|c1=%2*c1").arg(gain(l), gain(r));
}

QStringList channels(const QString& source, bool stereo, double left, double right, Job& job,
                     const Progress& progress)
{
    ToolRun::checkSource(source);
    const QString ext = ToolRun::ext(source);
    const Media::Probe probe = Media::probe(source);
    // Each file's own channel count: a mono file among stereo ones still fills both sides.
    const QString filter = channelFilter(stereo, probe.channels, left, right);
    return writeAudio(source, stereo ? QStringLiteral("Stereo") : QStringLiteral("Mono"), probe.duration, job,
                      progress, [&](const QString& temporary) {
                          return ToolArgs::channels(source, filter, ext, keepsCovers(probe, ext), temporary);
                      });
}

QStringList bleep(const QString& source, const QList<BleepRange>& ranges, Job& job, const Progress& progress)
{
    if (ranges.isEmpty()) throw ConvertError::unsupported(QStringLiteral("There are no bleeps to apply"));
    ToolRun::checkSource(source);
    const QString ext = ToolRun::ext(source);
    const Media::Probe probe = Media::probe(source);
    QList<BleepRange> sorted = ranges;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const BleepRange& a, const BleepRange& b) { return a.start < b.start; });
    return writeAudio(
        source, QStringLiteral("Bleeped"), probe.duration, job, progress, [&](const QString& temporary) {
            return ToolArgs::bleep(source, sorted, probe.channels, ext, keepsCovers(probe, ext), temporary);
        });
}

QString loudnessFilter(LoudnessTarget target, int sampleRate)
{
    QString loudnorm;
    switch (target) {
    case LoudnessTarget::podcast:
        loudnorm = QStringLiteral("loudnorm=I=-16:TP=-1.5:LRA=11");
        break;
    case LoudnessTarget::broadcast:
        loudnorm = QStringLiteral("loudnorm=I=-23:TP=-2:LRA=15");
        break;
    case LoudnessTarget::streaming:
    case LoudnessTarget::peak:
        loudnorm = QStringLiteral("loudnorm=I=-14:TP=-1:LRA=11");
        break;
    }
    // loudnorm works at 192 kHz; aformat brings the source's rate back and, unlike a bare
    // aresample, leaves the channel layout to the encoder.
    return loudnorm + QStringLiteral(",aformat=sample_rates=") + QString::number(sampleRate);
}

QString peakFilter(double maxVolume)
{
    return QStringLiteral("volume=%1dB").arg(ToolArgs::fixed(-1 - maxVolume, 2));
}

QStringList normalize(const QString& source, LoudnessTarget target, Job& job, const Progress& progress)
{
    ToolRun::checkSource(source);
    const QString ext = ToolRun::ext(source);
    const Media::Probe probe = Media::probe(source);
    const QString filter = target == LoudnessTarget::peak ? peakFilter(measurePeak(source, job))
                                                          : loudnessFilter(target, probe.sampleRate);
    return writeAudio(source, QStringLiteral("Normalized"), probe.duration, job, progress,
                      [&](const QString& temporary) {
                          return ToolArgs::normalize(source, filter, ext, keepsCovers(probe, ext), temporary);
                      });
}

} // namespace ToolOps
