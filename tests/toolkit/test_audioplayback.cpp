// Playback into a null sink of a private sound server: ranges end where they should, a file
// that can't be played beeps, and a preview stopped or dropped while it renders never plays and
// leaves no file behind.

#include "../support/audiofixtures.h"
#include "toolkit/audioplayback.h"
#include "toolkit/pcmstream.h"
#include "toolkit/pools.h"

#include <QApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int limitMs = 30000;

QStringList previewFiles()
{
    return QDir::temp().entryList({QStringLiteral("tolvane-preview-*")}, QDir::Files | QDir::Hidden);
}

// Until the preview pool has run everything handed to it and its results have been delivered.
void settlePreviews()
{
    QVERIFY(Pools::preview().waitForDone(limitMs));
    QCoreApplication::sendPostedEvents();
}

} // namespace

class AudioPlaybackTest : public QObject
{
    Q_OBJECT
    PrivateTemp m_temp; // first: what follows makes its files there
    QTemporaryDir m_dir;
    PulseSink m_sink;
    QString m_tone; // 5 s of 440 Hz

  private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(m_temp.isValid());
        QVERIFY2(m_sink.start(), qPrintable(m_sink.why()));
        m_tone = m_dir.filePath("tone.mp3");
        QVERIFY(makeAudio(m_tone, "sine=f=440:d=5", {"-ac", "2"}));
    }

    void playsRangesAndStopsAtTheirEnd_data()
    {
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to"); // negative: to the end of the file
        QTest::addColumn<double>("lowest");
        QTest::addColumn<double>("highest");
        QTest::newRow("1 s to 3 s") << 1.0 << 3.0 << 2.6 << 3.0;
        QTest::newRow("to the end") << 4.0 << -1.0 << 4.6 << 5.1;
        QTest::newRow("empty range stops at once") << 5.0 << 5.0 << 5.0 << 5.0;
    }
    void playsRangesAndStopsAtTheirEnd()
    {
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(double, lowest);
        QFETCH(double, highest);
        AudioPlayback playback;
        int beeps = 0;
        playback.setBeep([&beeps] { ++beeps; });
        QSignalSpy times(&playback, &AudioPlayback::timeChanged);
        playback.play(m_tone, from, to < 0 ? std::nullopt : std::optional(to));
        QVERIFY(playback.isPlaying());
        QVERIFY(QTest::qWaitFor([&] { return !playback.isPlaying(); }, limitMs));
        // The position is what the device played, kept after the end.
        QVERIFY2(playback.time() >= lowest && playback.time() <= highest,
                 qPrintable(QString::number(playback.time())));
        QCOMPARE(beeps, 0);
        if (to > from) QVERIFY(times.size() > 10); // read while playing, not only at the end
    }

    // The decoder stays about a second ahead of the reader, however long the file: ten minutes
    // of PCM would be 115 MB.
    void decodingStaysBounded()
    {
        const QString hour = m_dir.filePath("long.flac");
        QVERIFY(makeAudio(hour, "sine=f=440:d=600", {"-ac", "2"}));
        PcmStream stream(hour, 0, std::nullopt);
        const qsizetype chunk = 65536; // what the process runner reads at a time
        for (int round = 0; round < 3; ++round) {
            QVERIFY(QTest::qWaitFor([&] { return stream.waiting() >= PcmStream::ahead; }, limitMs));
            QVERIFY2(stream.waiting() <= PcmStream::ahead + chunk,
                     qPrintable(QString::number(stream.waiting())));
            QCOMPARE(stream.take(PcmStream::ahead / 2).size(), PcmStream::ahead / 2);
        }
        QVERIFY(!stream.atEnd());
    }

    void stopEndsAtOnce()
    {
        AudioPlayback playback;
        playback.play(m_tone, 0, std::nullopt);
        QVERIFY(QTest::qWaitFor([&] { return playback.time() > 0.2; }, limitMs));
        playback.stop();
        QVERIFY(!playback.isPlaying());
        const double at = playback.time();
        QCoreApplication::processEvents();
        QCOMPARE(playback.time(), at);
    }

    void unplayableFileBeepsOnce()
    {
        const QString bad = m_dir.filePath("notes.mp3");
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a sound at all\n");
        f.close();
        AudioPlayback playback;
        int beeps = 0;
        playback.setBeep([&beeps] { ++beeps; });
        playback.play(bad, 0, std::nullopt);
        QVERIFY(QTest::qWaitFor([&] { return beeps > 0; }, limitMs));
        QVERIFY(!playback.isPlaying());
        QCoreApplication::processEvents();
        QCOMPARE(beeps, 1);
    }

    void previewArguments()
    {
        const QStringList filter{"-af", "pan=mono|c0=1.0*c0"};
        QCOMPARE(AudioPlayback::previewArgs("/a/s.mp3", filter, 45.5, "/t/p.m4a"),
                 QStringList({"-i", "/a/s.mp3", "-t", "45.50", "-af", "pan=mono|c0=1.0*c0", "-vn", "-c:a",
                              "aac", "-b:a", "192k", "/t/p.m4a"}));
        QCOMPARE(AudioPlayback::previewArgs("s", {}, 180, "o").at(3), QString("60.00"));
    }

    // A rendered preview plays, and its file goes once it has stopped.
    void renderedPreviewPlaysAndIsRemoved()
    {
        AudioPlayback playback;
        QString error;
        playback.playRendered(m_tone, {"-af", "volume=0.5"}, 30, [&error](const QString& e) { error = e; });
        QVERIFY(QTest::qWaitFor([&] { return playback.isPlaying() || !error.isEmpty(); }, limitMs));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(previewFiles().size(), 1);
        playback.stop();
        QVERIFY(previewFiles().isEmpty());
    }

    void failedRenderReportsAndLeavesNothing()
    {
        AudioPlayback playback;
        QString error;
        playback.playRendered(m_tone, {"-af", "nosuchfilter=1"}, 30,
                              [&error](const QString& e) { error = e; });
        QVERIFY(QTest::qWaitFor([&] { return !error.isEmpty(); }, limitMs));
        QVERIFY2(error.contains("ffmpeg") || error.contains("filter", Qt::CaseInsensitive),
                 qPrintable(error));
        QVERIFY(!playback.isPlaying());
        QVERIFY(previewFiles().isEmpty());
    }

    // Stop pressed, the window closed, or a newer preview asked for while one renders: the
    // render that was under way never plays, reports nothing, and leaves no file.
    void abandonedRendersNeverPlay()
    {
        {
            AudioPlayback playback;
            QSignalSpy playing(&playback, &AudioPlayback::playingChanged);
            int errors = 0;
            playback.playRendered(m_tone, {"-af", "volume=0.5"}, 5, [&errors](const QString&) { ++errors; });
            playback.stop();
            settlePreviews();
            QVERIFY(playing.isEmpty());
            QCOMPARE(errors, 0);
            QVERIFY(previewFiles().isEmpty());
        }
        {
            auto* playback = new AudioPlayback;
            playback->playRendered(m_tone, {"-af", "volume=0.5"}, 5, {});
            delete playback;
            settlePreviews();
            QVERIFY(previewFiles().isEmpty());
        }
        {
            AudioPlayback playback;
            QStringList errors;
            playback.playRendered(m_tone, {"-af", "nosuchfilter=1"}, 5,
                                  [&errors](const QString& e) { errors << e; });
            playback.playRendered(m_tone, {"-af", "volume=0.5"}, 5,
                                  [&errors](const QString& e) { errors << e; });
            QVERIFY(QTest::qWaitFor([&] { return playback.isPlaying(); }, limitMs));
            settlePreviews();
            QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
            QCOMPARE(previewFiles().size(), 1);
        }
        QVERIFY(previewFiles().isEmpty());
    }
};

QTEST_MAIN(AudioPlaybackTest)
#include "test_audioplayback.moc"
