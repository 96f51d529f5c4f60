#include "engines/media/waveform.h"

#include "core/converterror.h"
#include "core/shell.h"
#include "engines/media/media.h"

#include <QtEndian>
#include <algorithm>
#include <cmath>

namespace {

// Exact below this many samples (about 8 s at 8000 Hz); the bound on what a fold holds.
constexpr qsizetype minCapacity = qsizetype(1) << 16;
constexpr qsizetype maxCapacity = qsizetype(1) << 22;
constexpr qsizetype binsPerBucket = 64;

// The peaks of `buckets` runs of n / buckets samples from the start, over `bins`, each the peak
// of `binSize` consecutive samples of the n; samples after the last run are not looked at.
QList<float> runPeaks(const QList<float>& bins, qsizetype binSize, qsizetype n, int buckets)
{
    if (n == 0 || buckets <= 0) return {};
    const qsizetype step = std::max<qsizetype>(1, n / buckets);
    QList<float> out;
    out.reserve(std::min<qsizetype>(buckets, n));
    for (qsizetype start = 0; start < n && out.size() < buckets; start += step) {
        const qsizetype end = std::min(n, start + step);
        float peak = 0;
        for (qsizetype i = start / binSize; i <= (end - 1) / binSize; ++i)
            peak = std::max(peak, bins[i]);
        // Decoders may overshoot full scale a little.
        out << std::min(peak, 1.0f);
    }
    return out;
}

QList<float> magnitudes(const QList<float>& samples)
{
    QList<float> out;
    out.reserve(samples.size());
    for (const float s : samples)
        out << std::max(0.0f, std::abs(s));
    return out;
}

} // namespace

namespace Media {

PeakFold::PeakFold(int buckets)
    : m_buckets(buckets),
      m_capacity(std::clamp(binsPerBucket * std::max(buckets, 0), minCapacity, maxCapacity))
{
}

void PeakFold::add(float sample)
{
    const float magnitude = std::max(0.0f, std::abs(sample)); // NaN counts as silence
    if (m_count % m_binSize == 0) {
        // All runs are full: when there is no room for another, every two become one twice as
        // long (the capacity is even).
        if (m_bins.size() == m_capacity) {
            for (qsizetype i = 0; i < m_capacity / 2; ++i)
                m_bins[i] = std::max(m_bins[2 * i], m_bins[2 * i + 1]);
            m_bins.resize(m_capacity / 2);
            m_binSize *= 2;
        }
        m_bins << magnitude;
    } else {
        m_bins.last() = std::max(m_bins.last(), magnitude);
    }
    ++m_count;
}

void PeakFold::add(QByteArrayView bytes)
{
    qsizetype at = 0;
    if (m_partialSize > 0) {
        while (m_partialSize < 4 && at < bytes.size())
            m_partial[m_partialSize++] = bytes[at++];
        if (m_partialSize < 4) return;
        add(qFromLittleEndian<float>(m_partial));
        m_partialSize = 0;
    }
    for (; at + 4 <= bytes.size(); at += 4)
        add(qFromLittleEndian<float>(bytes.data() + at));
    while (at < bytes.size())
        m_partial[m_partialSize++] = bytes[at++];
}

QList<float> PeakFold::peaks() const
{
    return runPeaks(m_bins, m_binSize, m_count, m_buckets);
}

QList<float> peaks(const QList<float>& samples, int buckets)
{
    return runPeaks(magnitudes(samples), 1, samples.size(), buckets);
}

QList<float> waveform(const QString& path, int buckets, Job* job)
{
    const auto program = Shell::find(QStringLiteral("ffmpeg"));
    if (!program || buckets <= 0) return {};
    // Decoded audio is folded as it arrives: an hour of it would be 115 MB.
    PeakFold fold(buckets);
    Shell::Options options;
    options.job = job;
    options.onOutput = [&fold](QByteArrayView bytes) { fold.add(bytes); };
    try {
        const Shell::Result r = Shell::run(*program,
                                           // Drawn from the file's zero, as the sound tools cut it: sound
                                           // that starts late after as much silence.
                                           guardedInputs({"-v", "error", "-i", path, "-af", soundFromZero,
                                                          "-ac", "1", "-ar", "8000", "-f", "f32le", "-"}),
                                           options);
        if (r.status != 0) return {};
    } catch (const ConvertError&) {
        return {};
    }
    return fold.peaks();
}

} // namespace Media
