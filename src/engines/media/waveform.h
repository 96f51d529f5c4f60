#pragma once

#include <QByteArrayView>
#include <QList>

namespace Media {

// Folds decoded audio into waveform peaks as it arrives, holding a bounded number of values
// however long the audio is. While the count of samples stays within capacity() the peaks are
// exactly those of Media::peaks over all of them; beyond it, samples are kept as the peaks of
// runs that double in length as needed, and a bucket's edges may stray by one such run.
class PeakFold
{
  public:
    explicit PeakFold(int buckets);

    // Little-endian 32-bit floats; a value split between two calls is joined.
    void add(QByteArrayView bytes);
    void add(float sample);

    qsizetype count() const { return m_count; }      // samples seen
    qsizetype kept() const { return m_bins.size(); } // values held, never above capacity()
    qsizetype capacity() const { return m_capacity; }

    // At most `buckets` peak amplitudes from 0 to 1 (full scale); empty when no sample came.
    QList<float> peaks() const;

  private:
    const int m_buckets;
    const qsizetype m_capacity;
    QList<float> m_bins; // the peak of each run of m_binSize samples, the last one filling
    qsizetype m_binSize = 1;
    qsizetype m_count = 0;
    char m_partial[4] = {}; // the start of a value cut off at the end of the last bytes
    int m_partialSize = 0;
};

} // namespace Media
