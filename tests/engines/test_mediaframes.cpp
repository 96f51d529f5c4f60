#include "engines/media.h"

#include "mediafixtures.h"

#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <clocale>

class MediaFramesTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QStringList x264{"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"};
        QVERIFY(Fixture::ffmpeg(Fixture::sources(1) + x264 + QStringList{"-c:a", "aac", "-shortest", path("wide.mp4")}));
        QVERIFY(Fixture::ffmpeg(Fixture::sources(1, "120x160", true) + x264 + QStringList{path("tall.mp4")}));
        QVERIFY(Fixture::ffmpeg(Fixture::sources(1, "1000x4", true) + QStringList{"-c:v", "ffv1", path("thin.mkv")}));
        QVERIFY(Fixture::ffmpeg({"-f", "lavfi", "-i", "anullsrc=d=1", "-c:a", "pcm_s16le", path("silence.wav")}));
        // Silence, then a tone: the loud end must hold the peaks.
        QVERIFY(Fixture::ffmpeg({"-f", "lavfi", "-i", "anullsrc=d=1:r=44100", "-f", "lavfi", "-i", "sine=d=1",
                                 "-filter_complex", "[0][1]concat=n=2:v=0:a=1", "-c:a", "flac", path("rising.flac")}));
    }

    void cleanup() { std::setlocale(LC_ALL, "C.UTF-8"); }

    void frameFitsTheBox_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<double>("maxSize");
        QTest::addColumn<QSize>("size");
        QTest::newRow("wide, shrunk") << "wide.mp4" << 64.0 << QSize(64, 48);
        QTest::newRow("tall, shrunk") << "tall.mp4" << 64.0 << QSize(48, 64);
        QTest::newRow("fraction of a point is dropped") << "wide.mp4" << 80.9 << QSize(80, 60);
        QTest::newRow("never enlarged") << "wide.mp4" << 1000.0 << QSize(160, 120);
        QTest::newRow("thin keeps a pixel") << "thin.mkv" << 50.0 << QSize(50, 1);
    }

    void frameFitsTheBox()
    {
        QFETCH(QString, file);
        QFETCH(double, maxSize);
        const QImage image = Media::frame(path(file), 0.5, maxSize);
        QVERIFY(!image.isNull());
        QTEST(image.size(), "size");
    }

    void frameOutsideTheVideo()
    {
        QVERIFY(Media::frame(path("wide.mp4"), 0.5, 0).isNull());
        QVERIFY(Media::frame(path("wide.mp4"), 5, 64).isNull());
        QVERIFY(Media::frame(path("silence.wav"), 0, 64).isNull());
        QVERIFY(Media::frame(path("missing.mp4"), 0, 64).isNull());
    }

    // A decimal comma in the seek time would make ffmpeg refuse the call.
    void frameUnderACommaLocale()
    {
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) QSKIP("no German locale here");
        QVERIFY(!Media::frame(path("wide.mp4"), 0.25, 64).isNull());
    }

    void waveform()
    {
        const QList<float> rising = Media::waveform(path("rising.flac"), 100);
        QCOMPARE(rising.size(), 100);
        QCOMPARE(*std::max_element(rising.cbegin(), rising.cend()), 1.0f);
        QCOMPARE(rising.first(), 0.0f);
        QVERIFY(rising.last() > 0.9f);
        for (float v : rising) QVERIFY(v >= 0 && v <= 1);

        const QList<float> silence = Media::waveform(path("silence.wav"), 20);
        QCOMPARE(silence, QList<float>(20, 0.0f));

        QVERIFY(Media::waveform(path("tall.mp4"), 20).isEmpty());
        // 8000 samples a second: one second gives fewer samples than buckets asked.
        QCOMPARE(Media::waveform(path("silence.wav"), 100000).size(), 8000);
    }
};

QTEST_GUILESS_MAIN(MediaFramesTest)
#include "test_mediaframes.moc"
