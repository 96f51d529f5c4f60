#include "tools/audio/normalize/normalizework.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/shell.h"
#include "engines/media/media.h"
#include "engines/media/toolargs.h"
#include "engines/media/toolrun.h"
#include "tools/audio/shared/audiowrite.h"

#include <QDir>
#include <QRegularExpression>
#include <cmath>
#include <optional>

namespace {

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
        Shell::run(program, Media::guardedInputs(NormalizeWork::measureArgs(source)), std::nullopt, &job);
    if (const auto peak = maxVolume(r.stderrText); peak && r.status == 0) return *peak;
    // Without a measured peak any gain would be a guess.
    throw ConvertError::failed(
        QStringLiteral("Couldn’t measure the loudest peak of %1: it has no sound ffmpeg can read")
            .arg(ToolRun::fileName(source)),
        r.stderrText.trimmed());
}

QString sample(const QString& samples)
{
    return QDir(samples).filePath(QStringLiteral("song.mp3"));
}

} // namespace

namespace NormalizeWork {

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

QStringList measureArgs(const QString& source)
{
    return {QStringLiteral("-hide_banner"),
            QStringLiteral("-nostats"),
            QStringLiteral("-i"),
            source,
            QStringLiteral("-map"),
            QStringLiteral("0:a"),
            QStringLiteral("-af"),
            QStringLiteral("volumedetect"),
            QStringLiteral("-f"),
            QStringLiteral("null"),
            QStringLiteral("-")};
}

QStringList args(const QString& source, const QString& filter, const QString& ext,
                 const AudioWrite::Kept& kept, const QString& out)
{
    return AudioWrite::filtered(source, filter, ext, kept, out);
}

QStringList checkPodcast(const QString& samples, Job& job)
{
    return ToolOps::normalize(sample(samples), LoudnessTarget::podcast, job, [](double) {});
}

QStringList checkPeak(const QString& samples, Job& job)
{
    return ToolOps::normalize(sample(samples), LoudnessTarget::peak, job, [](double) {});
}

} // namespace NormalizeWork

namespace ToolOps {

QStringList normalize(const QString& source, LoudnessTarget target, Job& job, const Progress& progress)
{
    ToolRun::checkSource(source);
    const QString ext = ToolRun::ext(source);
    const Media::Probe probe = Media::probe(source);
    const QString filter = target == LoudnessTarget::peak
                               ? NormalizeWork::peakFilter(measurePeak(source, job))
                               : NormalizeWork::loudnessFilter(target, probe.sampleRate);
    const AudioWrite::Kept kept = AudioWrite::kept(source, ext, false, job);
    return ToolRun::write(
        {source, {0, probe.duration}}, QStringLiteral("Normalized"), job, progress,
        [&](const QString& temporary) { return NormalizeWork::args(source, filter, ext, kept, temporary); },
        {}, [&](const QString& temporary) { AudioWrite::finish(kept, temporary, job); });
}

} // namespace ToolOps
