// Normalize Volume's work: its filters under two locales, and normalizing run for real on lavfi
// clips of every container, read back with ffprobe and ffmpeg's meters.

#include "tools/audio/normalize/normalizework.h"

#include <QTemporaryDir>
#include <QtTest>

#include "../../../support/audioclips.h"

using namespace AudioClips;

class NormalizeWorkTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    Job m_job{{}, {}, 0};

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase()
    {
        for (const QString name : {"Song.MP3", "Talk.m4a", "Tone.wav", "Centre.flac", "Picture.mp4"})
            QVERIFY(!make(m_dir.path(), name).isEmpty());
    }

    void filters_data() { decimalLocaleRows(); }
    void filters()
    {
        const RowLocale locale;
        QVERIFY2(locale.isSet(), QTest::currentDataTag());
        QCOMPARE(NormalizeWork::loudnessFilter(LoudnessTarget::streaming, 48000),
                 "loudnorm=I=-14:TP=-1:LRA=11,aformat=sample_rates=48000");
        QCOMPARE(NormalizeWork::loudnessFilter(LoudnessTarget::broadcast, 44100),
                 "loudnorm=I=-23:TP=-2:LRA=15,aformat=sample_rates=44100");
        QCOMPARE(NormalizeWork::peakFilter(-0.4), "volume=-0.60dB");
        QCOMPARE(NormalizeWork::peakFilter(-7.5), "volume=6.50dB");
    }

    void normalizeEveryContainer_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("result");
        QTest::newRow("m4a") << "Talk.m4a"
                             << "Talk Normalized.m4a";
        QTest::newRow("wav") << "Tone.wav"
                             << "Tone Normalized.wav";
        QTest::newRow("flac") << "Centre.flac"
                              << "Centre Normalized.flac";
        QTest::newRow("mp3") << "Song.MP3"
                             << "Song Normalized.mp3";
    }
    void normalizeEveryContainer()
    {
        QFETCH(QString, source);
        QFETCH(QString, result);
        const Probed before = ffprobe(path(source));
        const QString out = ToolOps::normalize(path(source), LoudnessTarget::streaming, m_job, {}).value(0);
        QCOMPARE(out, path(result));
        const Probed after = ffprobe(out);
        QCOMPARE(after.sampleRate, before.sampleRate);
        QCOMPARE(after.channels, before.channels);
        QVERIFY(QFile::remove(out));
    }

    void normalizePeak()
    {
        const QString out = ToolOps::normalize(path("Tone.wav"), LoudnessTarget::peak, m_job, {}).value(0);
        QVERIFY2(qAbs(levels(out).first + 1.0) < 0.2, qPrintable(QString::number(levels(out).first)));
        // A file whose peak can't be measured fails instead of getting a guessed gain: one without
        // sound, and one whose sound lasts no time, which ffmpeg would "normalize" without a word.
        QVERIFY(Fixture::ffmpeg({"-f", "lavfi", "-i", "sine", "-t", "0", path("Empty.wav")}));
        for (const QString name : {"Empty.wav", "Picture.mp4"}) {
            const ConvertError e =
                Fixture::failure([&] { ToolOps::normalize(path(name), LoudnessTarget::peak, m_job, {}); });
            QVERIFY2(e.message().startsWith("Couldn’t measure the loudest peak of " + name),
                     qPrintable(e.message()));
        }
        QVERIFY(!QFile::exists(path("Picture Normalized.mp4")) &&
                !QFile::exists(path("Empty Normalized.wav")));
    }
};

QTEST_GUILESS_MAIN(NormalizeWorkTest)
#include "test_normalizework.moc"
