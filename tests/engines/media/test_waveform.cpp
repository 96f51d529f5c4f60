#include "engines/media/media.h"
#include "engines/media/waveform.h"

#include "core/shell.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

class WaveformTest : public QObject
{
    Q_OBJECT

    static QByteArray littleEndian(const QList<float>& samples)
    {
        QByteArray bytes(samples.size() * 4, Qt::Uninitialized);
        for (qsizetype i = 0; i < samples.size(); ++i)
            qToLittleEndian(samples[i], bytes.data() + 4 * i);
        return bytes;
    }

  private slots:
    // A short real clip gives exactly the peaks of its whole decode, however the bytes are cut.
    void sameAsTheWholeDecode()
    {
        QTemporaryDir dir;
        const QString clip = dir.filePath("rising.flac");
        QCOMPARE(Shell::run("/usr/bin/ffmpeg",
                            {"-v", "error", "-f", "lavfi", "-i", "aevalsrc=sin(440*2*PI*t)*t*t:d=2", clip})
                     .status,
                 0);
        const QByteArray decoded = Shell::run("/usr/bin/ffmpeg", {"-v", "error", "-i", clip, "-ac", "1",
                                                                  "-ar", "8000", "-f", "f32le", "-"})
                                       .stdoutBytes;
        QList<float> samples(decoded.size() / 4);
        for (qsizetype i = 0; i < samples.size(); ++i)
            samples[i] = qFromLittleEndian<float>(decoded.constData() + 4 * i);
        QVERIFY(samples.size() > 15000);

        for (const int buckets : {1, 7, 100, 100000}) {
            const QList<float> whole = Media::peaks(samples, buckets);
            QCOMPARE(whole.size(), std::min<qsizetype>(buckets, samples.size()));
            QCOMPARE(Media::waveform(clip, buckets), whole);
            Media::PeakFold fold(buckets);
            for (qsizetype at = 0; at < decoded.size(); at += 3)
                fold.add(QByteArrayView(decoded).sliced(at, std::min<qsizetype>(3, decoded.size() - at)));
            QCOMPARE(fold.peaks(), whole);
        }
    }

    // An hour at 8000 Hz, a rising ramp, arrives in pieces that split values: the fold never
    // holds more than its capacity, and each bucket's peak still ends its run of the ramp.
    void anHourStaysSmall()
    {
        const qsizetype n = 3600 * 8000;
        const int buckets = 500;
        Media::PeakFold fold(buckets);
        QList<float> piece(16383);
        qsizetype most = 0;
        for (qsizetype at = 0; at < n; at += piece.size()) {
            piece.resize(std::min<qsizetype>(piece.size(), n - at));
            for (qsizetype i = 0; i < piece.size(); ++i)
                piece[i] = (i % 2 ? -1.0f : 1.0f) * float(at + i) / float(n);
            const QByteArray bytes = littleEndian(piece);
            fold.add(QByteArrayView(bytes).first(5));
            fold.add(QByteArrayView(bytes).sliced(5));
            most = std::max(most, fold.kept());
        }
        QCOMPARE(fold.count(), n);
        QVERIFY2(most <= fold.capacity() && fold.capacity() <= 65536, qPrintable(QString::number(most)));

        const QList<float> peaks = fold.peaks();
        QCOMPARE(peaks.size(), buckets);
        const double step = double(n / buckets);
        for (int k = 0; k < buckets; ++k)
            QVERIFY2(std::abs(peaks[k] - ((k + 1) * step - 1) / (buckets * step - 1)) < 1e-4,
                     qPrintable(QString("bucket %1: %2").arg(k).arg(peaks[k])));
    }
};

QTEST_GUILESS_MAIN(WaveformTest)
#include "test_waveform.moc"
