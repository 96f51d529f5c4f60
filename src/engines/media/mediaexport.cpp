#include "engines/media/media.h"

#include "core/converterror.h"
#include "core/shell.h"

#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The file's audio as mono 32-bit floats at 8000 Hz, or none when ffmpeg can't decode it.
std::optional<QList<float>> ffmpegSamples(const QString& path)
{
    const auto program = Shell::find(QStringLiteral("ffmpeg"));
    if (!program) return std::nullopt;
    Shell::Result r;
    try {
        r = Shell::run(*program, {"-v", "error", "-i", path, "-ac", "1", "-ar", "8000", "-f", "f32le", "-"});
    } catch (const ConvertError&) {
        return std::nullopt;
    }
    if (r.status != 0) return std::nullopt;
    const qsizetype count = r.stdoutBytes.size() / 4;
    QList<float> samples(count);
    const char* bytes = r.stdoutBytes.constData();
    for (qsizetype i = 0; i < count; ++i)
        samples[i] = qFromLittleEndian<float>(bytes + 4 * i);
    return samples;
}

} // namespace

namespace Media {

QList<float> peaks(const QList<float>& samples, int buckets)
{
    const qsizetype n = samples.size();
    if (n == 0 || buckets <= 0) return {};
    const qsizetype step = std::max<qsizetype>(1, n / buckets);
    QList<float> out;
    out.reserve(std::min<qsizetype>(buckets, n));
    for (qsizetype start = 0; start < n && out.size() < buckets; start += step) {
        float peak = 0;
        for (qsizetype i = start; i < std::min(n, start + step); ++i)
            peak = std::max(peak, std::abs(samples[i]));
        out << peak;
    }
    const float loudest = *std::max_element(out.cbegin(), out.cend());
    if (loudest > 0)
        for (float& v : out)
            v /= loudest;
    return out;
}

QList<float> waveform(const QString& path, int buckets)
{
    const auto samples = ffmpegSamples(path);
    return samples ? peaks(*samples, buckets) : QList<float>();
}

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
    const double at = std::isfinite(seconds) && seconds > 0 ? seconds : 0;
    Shell::Result r;
    try {
        r = Shell::run(*program, {"-v", "error", "-ss", QString::asprintf("%.3f", at), "-i", path,
                                  "-frames:v", "1", "-vf", fit, "-f", "image2pipe", "-c:v", "png", "-"});
    } catch (const ConvertError&) {
        return {};
    }
    if (r.status != 0) return {};
    return QImage::fromData(r.stdoutBytes, "PNG");
}

} // namespace Media
