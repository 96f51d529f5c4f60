#include "engines/converter.h"
#include "engines/media/media.h"

#include "core/converterror.h"
#include "core/job.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>
#include <clocale>
#include <unistd.h>

namespace {

// Runs ffmpeg quietly on generated sources; false when it fails.
bool ffmpeg(const QStringList& args)
{
    QProcess p;
    p.start("ffmpeg", QStringList{"-v", "error", "-y", "-nostdin"} + args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A test picture of `size` lasting `seconds`, with a sine tone unless `silent`.
QStringList sources(int seconds, const QString& size = "160x120", bool silent = false)
{
    const QStringList picture{"-f", "lavfi", "-i", QString("testsrc2=s=%1:r=25:d=%2").arg(size).arg(seconds)};
    return silent ? picture : picture + QStringList{"-f", "lavfi", "-i", QString("sine=d=%1").arg(seconds)};
}

// ffprobe's view of a file's streams, by type ("video", "audio").
QHash<QString, QList<QJsonObject>> streams(const QString& path)
{
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-print_format", "json", "-show_streams", "-count_frames", path});
    p.waitForFinished(60000);
    QHash<QString, QList<QJsonObject>> out;
    for (const QJsonValue& s : QJsonDocument::fromJson(p.readAllStandardOutput())["streams"].toArray())
        out[s["codec_type"].toString()] << s.toObject();
    return out;
}

QString codecs(const QList<QJsonObject>& streams) // "-" for none
{
    QStringList names;
    for (const QJsonObject& s : streams)
        names << s["codec_name"].toString();
    return names.isEmpty() ? "-" : names.join(' ');
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

// The processes whose parent is this one ("pid (name) state ppid ...").
QList<int> childProcesses()
{
    QList<int> out;
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
        QFile f("/proc/" + pid + "/stat");
        if (f.open(QFile::ReadOnly) && f.readAll().split(')').last().split(' ').value(2).toInt() == getpid())
            out << pid.toInt();
    }
    return out;
}

// A probe on one line, so that a table row can state all of it.
QString summary(const Media::Probe& p)
{
    return QString("%1s %2/%3 %4x%5 %6fps %7ch %8Hz")
        .arg(QString::number(p.duration), p.videoCodec.value_or("-"), p.audioCodec.value_or("-"))
        .arg(p.width)
        .arg(p.height)
        .arg(QString::number(p.fps))
        .arg(p.channels)
        .arg(p.sampleRate);
}

} // namespace

class MediaTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    Job m_job{QString(), QString(), 0};

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QStringList convert(const QString& s, const QString& t) { return Converter::convert(s, t, m_job, {}); }

    // A copy of a fixture alone in a new folder, so that a test sees only its own results.
    QString copyOf(const QString& name) const
    {
        const QString folder = path(QUuid::createUuid().toString(QUuid::WithoutBraces));
        QDir().mkpath(folder);
        QFile::copy(path(name), folder + "/" + name);
        return folder + "/" + name;
    }

  private slots:
    void initTestCase()
    {
        const QStringList x264{"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"};
        const QStringList aac{"-c:a", "aac", "-shortest"};
        const QStringList x265{"-c:v", "libx265", "-preset", "ultrafast", "-x265-params", "log-level=none"};
        QVERIFY(ffmpeg(sources(1) + x264 + aac << path("clip.mkv")));
        QVERIFY(ffmpeg(sources(8) + x264 + aac << path("long.mkv")));
        QVERIFY(ffmpeg(sources(1) + x265 + aac << path("hevc.mkv")));
        // A second audio track that MP4 can't hold: the stream copy fails.
        const QStringList pcm{"-f", "lavfi", "-i", "sine=f=220:d=1", "-map", "0", "-map", "1", "-map", "2"};
        QVERIFY(ffmpeg(sources(1) + pcm + x264 + aac + QStringList{"-c:a:1", "pcm_s16le", path("two.mkv")}));
        QVERIFY(
            ffmpeg({"-f", "lavfi", "-i", "sine=d=1", "-f", "lavfi", "-i", "color=red:s=64x64:d=0.04", "-map",
                    "0", "-map", "1", "-c:v", "png", "-disposition:v", "attached_pic", path("song.mp3")}));
        QVERIFY(ffmpeg(sources(1, "120x160", true) + x264 << path("tall.mp4")));
        QVERIFY(
            ffmpeg(sources(1, "176x144") + QStringList{"-r", "30000/1001", "-c:v", "libvpx-vp9", "-deadline",
                                                       "realtime", "-c:a", "libopus", path("clip.webm")}));
        QVERIFY(ffmpeg(sources(1, "1000x4", true) + QStringList{"-c:v", "ffv1", path("thin.mkv")}));
        // Silence, then a tone: the loud end must hold the peaks.
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "anullsrc=d=1", "-f", "lavfi", "-i", "sine=d=1",
                        "-filter_complex", "[0][1]concat=n=2:v=0:a=1", path("rising.flac")}));
    }

    void cleanup()
    {
        qunsetenv("TOLVANE_SEARCH_PATH");
        std::setlocale(LC_ALL, "C.UTF-8");
    }

    void parseProbe_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("summary");
        QTest::newRow("cover art is no video") << QByteArray(R"({"format":{"duration":"2"},"streams":[
        {"codec_type":"video","codec_name":"mjpeg","width":600,"disposition":{"attached_pic":1}},
        {"codec_type":"audio","codec_name":"mp3","channels":1,"sample_rate":"48000"},
        {"codec_type":"video","codec_name":"h264","width":160,"height":90,"avg_frame_rate":"30000/1001"}]})")
                                               << "2s h264/mp3 160x90 29.97fps 1ch 48000Hz";
        QTest::newRow("unusable rates") << QByteArray(R"({"streams":[
        {"codec_type":"video","codec_name":"vp9","avg_frame_rate":"0/0"},
        {"codec_type":"audio","codec_name":"opus","sample_rate":"44.1k"}]})")
                                        << "0s vp9/opus 0x0 30fps 2ch 44100Hz";
        QTest::newRow("first stream duration") << QByteArray(R"({"format":{"duration":"N/A"},"streams":[
        {"codec_type":"data"},{"codec_type":"audio","codec_name":"aac","duration":"4.25"},
        {"codec_type":"video","codec_name":"h264","duration":"9"}]})")
                                               << "4.25s h264/aac 0x0 30fps 2ch 44100Hz";
        QTest::newRow("not JSON") << QByteArray("Invalid data found") << "0s -/- 0x0 30fps 2ch 44100Hz";
    }

    void parseProbe()
    {
        QFETCH(QByteArray, json);
        QTEST(summary(Media::parseProbe(json)), "summary");
    }

    void probeOfARealFile()
    {
        const Media::Probe p = Media::probe(path("clip.mkv"));
        QVERIFY2(qAbs(p.duration - 1) < 0.1 &&
                     summary(p).section(' ', 1) == "h264/aac 160x120 25fps 1ch 44100Hz",
                 qPrintable(summary(p)));
    }

    // The in-process reading stands in for ffprobe: every field must come out the same.
    void probeAgreesWithFfprobe()
    {
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "sine=d=1.5:sample_rate=22050", "-ac", "2", path("tone.wav")}));
        QVERIFY(ffmpeg(sources(1) + QStringList{"-c:v", "mpeg4", "-c:a", "pcm_s16be", path("pcm.mov")}));
        QFile broken(path("broken.mp4"));
        QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write(QByteArray(4096, 'x')) == 4096);
        broken.close();
        for (const QString& name :
             QStringList{"clip.mkv", "long.mkv", "hevc.mkv", "two.mkv", "song.mp3", "tall.mp4", "thin.mkv",
                         "rising.flac", "clip.webm", "tone.wav", "pcm.mov", "broken.mp4", "missing.mp4"})
            QCOMPARE(name + summary(Media::probe(path(name))),
                     name + summary(Media::probeWithFfprobe(path(name))));
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
        QTEST(Media::progressFraction(line, duration).value_or(-1), "fraction");
    }

    void conversions_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("route"); // copy, retry or encode
        QTest::addColumn<QString>("video"); // codec and sample entry
        QTest::addColumn<QString>("audio");
        QTest::newRow("mkv to mp4") << "clip.mkv"
                                    << "mp4"
                                    << "copy"
                                    << "h264 avc1"
                                    << "aac";
        QTest::newRow("hevc to mp4") << "hevc.mkv"
                                     << "mp4"
                                     << "copy"
                                     << "hevc hvc1"
                                     << "aac";
        QTest::newRow("failed copy") << "two.mkv"
                                     << "mp4"
                                     << "retry"
                                     << "h264 avc1"
                                     << "aac aac";
        // The first run guesses a copy; mp4 could hold VP9, but the table says re-encode.
        QTest::newRow("vp9 to mp4") << "clip.webm"
                                    << "mp4"
                                    << "encode"
                                    << "h264 avc1"
                                    << "aac";
        QTest::newRow("webm") << "clip.mkv"
                              << "webm"
                              << "encode"
                              << "vp9 [0][0][0][0]"
                              << "opus";
        QTest::newRow("video to mp3") << "clip.mkv"
                                      << "mp3"
                                      << "encode"
                                      << "-"
                                      << "mp3";
        QTest::newRow("song to m4a") << "song.mp3"
                                     << "m4a"
                                     << "encode"
                                     << "-"
                                     << "aac";
    }

    void conversions()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(QString, route);
        const QString src = copyOf(source);
        QList<double> progress;
        const QString out = Converter::convert(src, target, m_job, [&](double f) { progress << f; }).value(0);
        QCOMPARE(QFileInfo(out).fileName(), QFileInfo(src).completeBaseName() + "." + target);
        QCOMPARE(filesIn(QFileInfo(src).path()).size(), 2);
        QVERIFY(!progress.isEmpty());
        for (double f : progress)
            QVERIFY(f >= 0 && f <= 1);

        const auto result = streams(out);
        const QJsonObject video = result["video"].value(0);
        QTEST(video.isEmpty() ? "-"
                              : video["codec_name"].toString() + " " + video["codec_tag_string"].toString(),
              "video");
        QTEST(codecs(result["audio"]), "audio");
        if (!video.isEmpty()) QVERIFY(video["nb_read_frames"].toString().toInt() > 1);
        if (route == "retry") QVERIFY(Media::canCopy(Media::probe(src), target));
        if (route == "copy") {
            // A copy keeps the encoder's profile; a re-encode would have made its own.
            QCOMPARE(video["profile"], streams(src)["video"].value(0)["profile"]);
            QFile f(out);
            const QByteArray data = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
            QVERIFY2(data.indexOf("moov") > 0 && data.indexOf("moov") < data.indexOf("mdat"), "faststart");
        }
    }

    void coverArtNeverBecomesTheVideo()
    {
        const QString src = copyOf("song.mp3");
        QVERIFY_THROWS_EXCEPTION(ConvertError, convert(src, "mkv")); // there is no picture to make a video of
        QCOMPARE(filesIn(QFileInfo(src).path()), QStringList{"song.mp3"});
    }

    void gifRoundTrip()
    {
        const QString gif = convert(copyOf("clip.mkv"), "gif").value(0);
        QCOMPARE(codecs(streams(gif)["video"]), QString("gif"));
        const QString back = convert(gif, "mp4").value(0);
        const QJsonObject video = streams(back)["video"].value(0);
        QCOMPARE(QString("%1 %2 %3")
                     .arg(QFileInfo(back).fileName(), video["codec_name"].toString())
                     .arg(video["width"].toInt()),
                 "clip.mp4 h264 160");
        QVERIFY(video["nb_read_frames"].toString().toInt() > 1);
    }

    void cancellingEndsFfmpeg()
    {
        const QString src = copyOf("long.mkv");
        Job job(QString(), QString(), 0);
        QList<int> running;
        try {
            Converter::convert(src, "webm", job, [&](double) {
                if (!job.isCancelled()) running = childProcesses();
                job.cancel();
            });
            QFAIL("a cancelled conversion must throw");
        } catch (const ConvertError& e) {
            QVERIFY(e.isCancelled());
        }
        QCOMPARE(running.size(), 1);
        QVERIFY2(childProcesses().isEmpty(), "ffmpeg has ended and was reaped");
        QCOMPARE(filesIn(QFileInfo(src).path()), QStringList{"long.mkv"});
    }

    void waveform()
    {
        const QList<float> rising = Media::waveform(path("rising.flac"), 100);
        QCOMPARE(rising.size(), 100);
        QCOMPARE(*std::max_element(rising.cbegin(), rising.cend()), 1.0f);
        QVERIFY2(rising.first() == 0 && rising.last() > 0.9f, "the peaks follow the loudness");
        QVERIFY(Media::waveform(path("tall.mp4"), 20).isEmpty());
        // 8000 samples a second: one second gives fewer values than asked.
        QCOMPARE(Media::waveform(path("song.mp3"), 100000).size(), 8000);
        // Runs 1–3, 4–6, 7–9; the tenth sample is never looked at.
        const QList<float> samples{0.1f, -0.2f, 0.1f, 0.4f, 0, 0, 0, 0.1f, 0, -0.8f};
        QCOMPARE(Media::peaks(samples, 3), (QList<float>{0.5f, 1, 0.25f}));
        QCOMPARE(Media::peaks({0, 0, 0}, 2), (QList<float>{0, 0}));
    }

    void frame_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<double>("box");
        QTest::addColumn<QSize>("size"); // 0x0 for no picture
        QTest::newRow("wide, shrunk") << "clip.mkv" << 0.5 << 64.0 << QSize(64, 48);
        QTest::newRow("tall, shrunk") << "tall.mp4" << 0.5 << 64.0 << QSize(48, 64);
        QTest::newRow("never enlarged") << "clip.mkv" << 0.0 << 1000.0 << QSize(160, 120);
        QTest::newRow("thin keeps a pixel") << "thin.mkv" << 0.5 << 50.0 << QSize(50, 1);
        QTest::newRow("empty box") << "clip.mkv" << 0.5 << 0.0 << QSize(0, 0);
        QTest::newRow("past the end") << "clip.mkv" << 5.0 << 64.0 << QSize(0, 0);
        QTest::newRow("audio only") << "rising.flac" << 0.0 << 64.0 << QSize(0, 0);
    }

    // Under a comma locale where there is one: a decimal comma in the seek time would make ffmpeg
    // refuse the call.
    void frame()
    {
        QFETCH(QString, file);
        QFETCH(double, seconds);
        QFETCH(double, box);
        std::setlocale(LC_ALL, "de_DE.UTF-8");
        QTEST(Media::frame(path(file), seconds, box).size(), "size");
    }

    // What the converter refuses before any ffmpeg run; the folder keeps only the source.
    void refusals_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QStringList>("tools");
        QTest::addColumn<QString>("message"); // empty: nothing to do
        const QStringList both{"ffmpeg", "ffprobe"};
        const QString missing = "This needs ffmpeg. Install it with: sudo apt install ffmpeg";
        QTest::newRow("same format") << "clip.mkv"
                                     << "mkv" << both << "";
        QTest::newRow("unknown") << "notes.xyz"
                                 << "pdf" << both << "Tolvane doesn’t know this kind of file";
        QTest::newRow("no tools") << "clip.mkv"
                                  << "mov" << QStringList{} << missing;
        QTest::newRow("ffmpeg alone is enough")
            << "clip.mkv"
            << "mov" << QStringList{"ffmpeg"}
            << "The file can’t be read: it may be damaged or not a media file";
    }

    void refusals()
    {
        QFETCH(QString, name);
        QFETCH(QString, target);
        QFETCH(QStringList, tools);
        QFETCH(QString, message);
        QTemporaryDir dir, bin;
        for (const QString& tool : tools)
            QVERIFY(QFile::link(QStandardPaths::findExecutable(tool), bin.filePath(tool)));
        qputenv("TOLVANE_SEARCH_PATH", bin.path().toUtf8());
        QVERIFY(QFile(dir.filePath(name)).open(QIODevice::WriteOnly));
        try {
            QVERIFY(convert(dir.filePath(name), target).isEmpty() && message.isEmpty());
        } catch (const ConvertError& e) {
            QCOMPARE(e.message(), message);
            QCOMPARE(e.kind() == ConvertError::Kind::missingTool, tools.isEmpty());
        }
        QCOMPARE(filesIn(dir.path()), QStringList{name});
        if (tools.isEmpty()) // the readers give nothing rather than fail; the probe needs no program
            QVERIFY(Media::probe(path("clip.mkv")).videoCodec == "h264" &&
                    Media::frame(path("clip.mkv"), 0, 64).isNull() &&
                    Media::waveform(path("clip.mkv"), 9).isEmpty());
    }
};

QTEST_GUILESS_MAIN(MediaTest)
#include "test_media.moc"
