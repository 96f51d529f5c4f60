#include "engines/media.h"
#include "engines/videoops.h"

#include "core/converterror.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray streamsJson(const QByteArray& format, const QByteArray& streams)
{
    return "{\"format\":" + format + ",\"streams\":[" + streams + "]}";
}

// Puts an executable shell script named `name` into `folder`.
void writeProgram(const QString& folder, const QString& name, const QByteArray& body)
{
    QFile f(folder + "/" + name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n" + body);
    f.close();
    QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

} // namespace

class MediaTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { qunsetenv("TOLVANE_SEARCH_PATH"); }

    void parseProbe_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<double>("duration");
        QTest::addColumn<QString>("video"); // "-" for none
        QTest::addColumn<QString>("audio");
        QTest::addColumn<int>("width");
        QTest::addColumn<double>("fps");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("sampleRate");

        QTest::newRow("song with cover art")
            << streamsJson(R"({"duration":"3.5"})",
                           R"({"codec_type":"audio","codec_name":"mp3","channels":1,"sample_rate":"48000"},
                              {"codec_type":"video","codec_name":"png","width":600,"disposition":{"attached_pic":1}})")
            << 3.5 << "-" << "mp3" << 0 << 30.0 << 1 << 48000;
        QTest::newRow("cover picture before the video")
            << streamsJson(R"({"duration":"2"})",
                           R"({"codec_type":"video","codec_name":"mjpeg","width":600,"disposition":{"attached_pic":1}},
                              {"codec_type":"video","codec_name":"h264","width":160,"avg_frame_rate":"30000/1001"})")
            << 2.0 << "h264" << "-" << 160 << 30000.0 / 1001 << 2 << 44100;
        QTest::newRow("0/0 frame rate, no sample rate or channels")
            << streamsJson(R"({"duration":"1"})", R"({"codec_type":"video","codec_name":"vp9","avg_frame_rate":"0/0"},
                                                    {"codec_type":"audio","codec_name":"opus"})")
            << 1.0 << "vp9" << "opus" << 0 << 30.0 << 2 << 44100;
        QTest::newRow("duration from the first stream that has one")
            << streamsJson("{}", R"({"codec_type":"data"},{"codec_type":"audio","codec_name":"aac","duration":"4.25"},
                                   {"codec_type":"video","codec_name":"h264","duration":"9"})")
            << 4.25 << "h264" << "aac" << 0 << 30.0 << 2 << 44100;
        QTest::newRow("sample rate that is no integer")
            << streamsJson(R"({"duration":"N/A"})", R"({"codec_type":"audio","codec_name":"flac","sample_rate":"44.1k"})")
            << 0.0 << "-" << "flac" << 0 << 30.0 << 2 << 44100;
        QTest::newRow("not JSON") << QByteArray("Invalid data found") << 0.0 << "-" << "-" << 0 << 30.0 << 2 << 44100;
        QTest::newRow("top level array") << QByteArray("[1,2]") << 0.0 << "-" << "-" << 0 << 30.0 << 2 << 44100;
    }

    void parseProbe()
    {
        QFETCH(QByteArray, json);
        const Media::Probe p = Media::parseProbe(json);
        QTEST(p.duration, "duration");
        QTEST(p.videoCodec.value_or("-"), "video");
        QTEST(p.audioCodec.value_or("-"), "audio");
        QTEST(p.width, "width");
        QFETCH(double, fps);
        QVERIFY(qFuzzyCompare(p.fps, fps));
        QTEST(p.channels, "channels");
        QTEST(p.sampleRate, "sampleRate");
    }

    void progressFraction_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<double>("duration");
        QTest::addColumn<double>("fraction"); // -1 for no report
        QTest::newRow("before the first frame") << "out_time_us=N/A" << 10.0 << 0.0;
        QTest::newRow("half way") << "out_time_us=5000000" << 10.0 << 0.5;
        QTest::newRow("ms key carries microseconds") << "out_time_ms=2500000" << 10.0 << 0.25;
        QTest::newRow("past the end") << "out_time_us=12000000" << 10.0 << 0.99;
        QTest::newRow("negative start time") << "out_time_us=-23220" << 10.0 << 0.0;
        QTest::newRow("other key") << "out_time=00:00:05.000000" << 10.0 << -1.0;
        QTest::newRow("no duration") << "out_time_us=5000000" << 0.0 << -1.0;
    }

    void progressFraction()
    {
        QFETCH(QString, line);
        QFETCH(double, duration);
        QFETCH(double, fraction);
        const auto got = Media::progressFraction(line, duration);
        if (fraction < 0) {
            QVERIFY(!got);
        } else {
            QVERIFY(got);
            QCOMPARE(*got, fraction);
        }
    }

    // The runner against stand-in programs: its fixed prefix, its progress and its failures.
    void runnerWithStandIn()
    {
        QTemporaryDir bin;
        const QString argsFile = bin.filePath("args");
        writeProgram(bin.path(), "ffmpeg",
                     "printf '%s\\n' \"$@\" > '" + argsFile.toUtf8() + "'\n"
                     "echo frame=1\necho out_time_us=N/A\necho out_time_us=-5\necho out_time_ms=1000000\n"
                     "echo out_time_us=9000000\necho progress=end\n");
        qputenv("TOLVANE_SEARCH_PATH", bin.path().toUtf8());

        QList<double> reported;
        Media::ffmpeg({"-i", "in.mkv", "out.mp4"}, 4, nullptr, [&](double f) { reported << f; });
        QCOMPARE(reported, (QList<double>{0, 0, 0.25, 0.99}));
        QFile f(argsFile);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts),
                 (QStringList{"-hide_banner", "-nostdin", "-y", "-loglevel", "error", "-progress", "pipe:1",
                              "-nostats", "-i", "in.mkv", "out.mp4"}));

        reported.clear();
        Media::ffmpeg({"out.mp4"}, 0, nullptr, [&](double f) { reported << f; });
        QVERIFY(reported.isEmpty());

        writeProgram(bin.path(), "ffmpeg", "echo one >&2\necho two >&2\n\necho three >&2\necho four >&2\nexit 3\n");
        try {
            Media::ffmpeg({"out.mp4"}, 1, nullptr, {});
            QFAIL("a failing ffmpeg must throw");
        } catch (const ConvertError& e) {
            QCOMPARE(e.kind(), ConvertError::Kind::failed);
            QCOMPARE(e.message(), QString("ffmpeg failed: two three four"));
        }
        writeProgram(bin.path(), "ffmpeg", "exit 1\n");
        try {
            Media::ffmpeg({"out.mp4"}, 1, nullptr, {});
            QFAIL("a failing ffmpeg must throw");
        } catch (const ConvertError& e) {
            QCOMPARE(e.message(), QString("ffmpeg failed: exit 1"));
        }
    }

    void withoutFfmpeg()
    {
        QTemporaryDir empty;
        qputenv("TOLVANE_SEARCH_PATH", empty.path().toUtf8());
        try {
            Media::ffmpeg({"out.mp4"}, 1, nullptr, {});
            QFAIL("no ffmpeg must throw");
        } catch (const ConvertError& e) {
            QCOMPARE(e.kind(), ConvertError::Kind::missingTool);
            QCOMPARE(e.message(), QString("This needs ffmpeg. Install it with: sudo apt install ffmpeg"));
        }
        QCOMPARE(Media::probe("/nonexistent.mp4").duration, 0.0);
        QVERIFY(Media::waveform("/nonexistent.mp4", 10).isEmpty());
        QVERIFY(Media::frame("/nonexistent.mp4", 0, 64).isNull());
    }

    void peaks_data()
    {
        QTest::addColumn<QList<float>>("samples");
        QTest::addColumn<int>("buckets");
        QTest::addColumn<QList<float>>("expected");
        // Runs 1–3, 4–6, 7–9; the tenth sample is never looked at.
        QTest::newRow("10 samples, 3 buckets") << QList<float>{0.1f, -0.2f, 0.1f, 0.4f, 0, 0, 0, 0.1f, 0, -0.8f} << 3
                                              << QList<float>{0.5f, 1, 0.25f};
        QTest::newRow("fewer samples than buckets") << QList<float>{0.25f, -0.5f} << 100 << QList<float>{0.5f, 1};
        QTest::newRow("silence") << QList<float>{0, 0, 0, 0} << 2 << QList<float>{0, 0};
        QTest::newRow("no samples") << QList<float>{} << 5 << QList<float>{};
    }

    void peaks()
    {
        QFETCH(QList<float>, samples);
        QFETCH(int, buckets);
        QTEST(Media::peaks(samples, buckets), "expected");
    }

    // What the retry and the tools rely on: the faststart pair only for lower-case mp4 and mov,
    // VP9's rate factor 11 above the asked one, nothing for unknown containers.
    void reencode()
    {
        const QStringList mp4 = VideoOps::reencode("mp4", 18);
        QCOMPARE(mp4.mid(mp4.size() - 2), (QStringList{"-movflags", "+faststart"}));
        QVERIFY(mp4.contains("libx264") && mp4.contains("aac"));
        QVERIFY(!VideoOps::reencode("mkv", 18).contains("-movflags"));
        const QStringList webm = VideoOps::reencode("webm", 18);
        QCOMPARE(webm.value(webm.indexOf("-crf") + 1), QString("29"));
        QCOMPARE(webm.value(webm.indexOf("-c:a") + 1), QString("libopus"));
        QVERIFY(VideoOps::reencode("MP4", 18).isEmpty());
        QVERIFY(VideoOps::reencode("xyz", 18).isEmpty());
        QCOMPARE(Media::audioArgs("mp3", std::nullopt, 192), (QStringList{"-c:a", "libmp3lame", "-b:a", "192k"}));
    }

    void gifWidth_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("scale");
        QTest::newRow("wide video") << 1920 << "scale=720:";
        QTest::newRow("small video") << 480 << "scale=480:";
        QTest::newRow("unknown width") << 0 << "scale=720:";
    }

    void gifWidth()
    {
        QFETCH(int, width);
        Media::Probe p;
        p.videoCodec = "h264";
        p.width = width;
        const QStringList args = Media::conversionArgs("in.mp4", "out.gif", false, "gif", p);
        const qsizetype vf = args.indexOf("-vf");
        QVERIFY(vf > 0);
        QFETCH(QString, scale);
        QVERIFY2(args.at(vf + 1).startsWith("fps=15," + scale), qPrintable(args.at(vf + 1)));
        QVERIFY(args.contains("-an"));
    }
};

QTEST_GUILESS_MAIN(MediaTest)
#include "test_media.moc"
