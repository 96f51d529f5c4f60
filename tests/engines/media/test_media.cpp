#include "engines/image/videoframe.h"
#include "engines/media/media.h"
#include "engines/media/waveform.h"

#include "../../support/enginefixtures_a.h"
#include "../../support/programoutput.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUuid>
#include <QtEndian>
#include <QtTest>
#include <clocale>
#include <unistd.h>

using namespace Fixture;

namespace {

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
               .arg(QString::number(p.duration), p.videoCodec.value_or("-"), p.audioCodec.value_or("-"),
                    QString::number(p.width), QString::number(p.height), QString::number(p.fps),
                    QString::number(p.channels), QString::number(p.sampleRate)) +
           (p.turn != 0 ? QString(" turned %1").arg(p.turn) : QString()) +
           (p.place.isEmpty() ? QString() : " at " + p.place);
}

} // namespace

class MediaTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

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
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "aevalsrc=sin(440*2*PI*t)*t*t:d=2", path("rising.flac")}));
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

    // The in-process reading stands in for ffprobe: every field must come out the same.
    void probeAgreesWithFfprobe()
    {
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "sine=d=1.5:sample_rate=22050", "-ac", "2", path("tone.wav")}));
        QVERIFY(ffmpeg(sources(1) + QStringList{"-c:v", "mpeg4", "-c:a", "pcm_s16be", path("pcm.mov")}));
        QVERIFY(write(path("broken.mp4"), QByteArray(4096, 'x')));
        // Files a quick look at their first 32 KiB misreads: a cover picture larger than that, a
        // length only guessed from the bitrate, sound that starts a second after the picture in
        // containers that announce streams as they come.
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "sine=d=3", "-f", "lavfi", "-i",
                        "nullsrc=s=320x320:d=0.04,geq=random(1)*255:128:128", "-map", "0", "-map", "1",
                        "-c:v", "png", "-disposition:v", "attached_pic", path("cover.mp3")}));
        QVERIFY(QFileInfo(path("cover.mp3")).size() > 100000);
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "aevalsrc=sin(40*t*t*2*PI*t)*t/4+random(0)*t*t/40:d=12", "-q:a",
                        "6", "-write_xing", "0", path("plain.mp3")}));
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "sine=d=3", "-c:a", "aac", "-f", "adts", path("raw.aac")}));
        for (const QString ext : {"ts", "flv"})
            QVERIFY(ffmpeg(sources(3, "160x120", true) + QStringList{"-itsoffset", "1", "-f", "lavfi", "-i",
                                                                     "sine=d=2", "-map", "0", "-map", "1",
                                                                     path("late." + ext)}));
        // A phone's film: stored on its side, turned by its display matrix, its place under Apple's
        // own name.
        QVERIFY(ffmpeg({"-i", path("tall.mp4"), "-c", "copy", "-metadata:s:v:0", "rotate=90", "-movflags",
                        "use_metadata_tags", "-metadata",
                        "com.apple.quicktime.location.ISO6709=+48.8584+002.2945/", path("turned.mov")}));
        QCOMPARE(summary(Media::probe(path("turned.mov"))).section(' ', 2),
                 "160x120 25fps 2ch 44100Hz turned 90 at +48.8584+002.2945/");
        for (const QString& name :
             QStringList{"turned.mov", "clip.mkv", "long.mkv", "hevc.mkv", "two.mkv", "song.mp3", "tall.mp4",
                         "thin.mkv", "rising.flac", "clip.webm", "tone.wav", "pcm.mov", "broken.mp4",
                         "missing.mp4", "cover.mp3", "plain.mp3", "raw.aac", "late.ts", "late.flv"})
            QCOMPARE(name + summary(Media::probe(path(name))),
                     name + summary(Media::probeWithFfprobe(path(name))));
        QCOMPARE(summary(Media::probe(path("clip.mkv"))).section(' ', 1),
                 "h264/aac 160x120 25fps 1ch 44100Hz");
    }

    // ffmpeg's progress lines; -1 for no report.
    void progressFraction()
    {
        for (const auto& [line, duration, fraction] : {std::tuple{"out_time_us=N/A", 10.0, 0.0},
                                                       {"out_time_ms=2500000", 10.0, 0.25},
                                                       {"out_time_us=12000000", 10.0, 0.99},
                                                       {"out_time_us=-23220", 10.0, 0.0},
                                                       {"out_time=00:00:05.000000", 10.0, -1.0},
                                                       {"out_time_us=5000000", 0.0, -1.0}})
            QVERIFY2(Media::progressFraction(line, duration).value_or(-1) == fraction, line);
    }

    void conversions_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("route"); // copy, retry or encode
        QTest::addColumn<QString>("video"); // codec and sample entry
        QTest::addColumn<QString>("audio");
        const auto row = [](const char* name, const char* source, const char* target, const char* route,
                            const char* video, const char* audio) {
            QTest::newRow(name) << QString(source) << QString(target) << QString(route) << QString(video)
                                << QString(audio);
        };
        row("mkv to mp4", "clip.mkv", "mp4", "copy", "h264 avc1", "aac");
        row("hevc to mp4", "hevc.mkv", "mp4", "copy", "hevc hvc1", "aac");
        row("failed copy", "two.mkv", "mp4", "retry", "h264 avc1", "aac aac");
        // The first run guesses a copy; mp4 could hold VP9, but the table says re-encode.
        row("vp9 to mp4", "clip.webm", "mp4", "encode", "h264 avc1", "aac");
        row("webm", "clip.mkv", "webm", "encode", "vp9 [0][0][0][0]", "opus");
        row("video to mp3", "clip.mkv", "mp3", "encode", "-", "mp3");
        // The song's cover goes along as the cover it was.
        row("song to m4a", "song.mp3", "m4a", "encode", "png [0][0][0][0]", "aac");
    }
    void conversions()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(QString, route);
        const QString src = copyOf(source);
        QList<double> progress;
        const QString out = convert(src, target, [&](double f) { progress << f; }).value(0);
        QCOMPARE(QFileInfo(out).fileName(), QFileInfo(src).completeBaseName() + "." + target);
        QCOMPARE(entries(QFileInfo(src).path()).size(), 2); // nothing else is left behind
        QVERIFY(!progress.isEmpty() &&
                std::all_of(progress.cbegin(), progress.cend(), [](double f) { return f >= 0 && f <= 1; }));
        const auto result = streams(out);
        const QJsonObject video = result["video"].value(0);
        QStringList audio;
        for (const QJsonObject& s : result["audio"])
            audio << s["codec_name"].toString();
        QTEST(video.isEmpty() ? "-"
                              : video["codec_name"].toString() + " " + video["codec_tag_string"].toString(),
              "video");
        QTEST(audio.join(' '), "audio");
        const bool cover = video["disposition"].toObject()["attached_pic"].toInt() == 1;
        if (!video.isEmpty() && !cover) QVERIFY(video["nb_read_frames"].toString().toInt() > 1);
        if (route == "retry") QVERIFY(Media::canCopy(Media::probe(src), target));
        if (route == "copy") {
            // A copy keeps the encoder's profile; a re-encode would have made its own.
            QCOMPARE(video["profile"], streams(src)["video"].value(0)["profile"]);
            QFile f(out);
            const QByteArray data = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
            QVERIFY2(data.indexOf("moov") > 0 && data.indexOf("moov") < data.indexOf("mdat"), "faststart");
        }
    }

    // Cover art is no picture to make a video of; a GIF comes back to a moving video.
    void coverArtAndGif()
    {
        const QString song = copyOf("song.mp3");
        QVERIFY_THROWS_EXCEPTION(ConvertError, convert(song, "mkv"));
        QCOMPARE(entries(QFileInfo(song).path()), QStringList{"song.mp3"});

        const QString gif = convert(copyOf("clip.mkv"), "gif").value(0);
        QCOMPARE(streams(gif)["video"].value(0)["codec_name"], "gif");
        const QString back = convert(gif, "mp4").value(0);
        const QJsonObject video = streams(back)["video"].value(0);
        QCOMPARE(QFileInfo(back).fileName() + " " + video["codec_name"].toString(), "clip.mp4 h264");
        QCOMPARE(video["width"].toInt(), 160);
        QVERIFY(video["nb_read_frames"].toString().toInt() > 1);
    }

    // An AIFF keeps a song's tags and its cover in an ID3 chunk, as exiftool and ffprobe read them.
    void aiffKeepsTagsAndCover()
    {
        for (const QString ext : {"mp3", "m4a", "flac"}) {
            const QString folder = path("aiff-" + ext);
            QVERIFY(QDir().mkpath(folder));
            const QString song = folder + "/song." + ext, cover = path("cover.png");
            QVERIFY(QFile::exists(cover) ||
                    ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=48x48", "-frames:v", "1", cover}));
            QVERIFY(ffmpeg({"-f",
                            "lavfi",
                            "-i",
                            "sine=d=1",
                            "-i",
                            cover,
                            "-map",
                            "0",
                            "-map",
                            "1",
                            "-c:v",
                            "copy",
                            "-disposition:v",
                            "attached_pic",
                            "-metadata",
                            "title=Night",
                            "-metadata",
                            "artist=Ann",
                            "-metadata",
                            "album=Road",
                            song}));
            Job job(QString(), QString(), 0);
            const QString out = Converter::convert(song, "aiff", job, {}).value(0);
            QCOMPARE(job.notes(), QStringList());
            const QString tags = programOutput("exiftool", {"-a", "-G1", "-s", "-s", out});
            for (const QString tag : {"Title: Night", "Artist: Ann", "Album: Road", "Picture: (Binary"})
                QVERIFY2(QRegularExpression("\\[ID3v2_\\d\\] " + QRegularExpression::escape(tag))
                             .match(tags)
                             .hasMatch(),
                         qPrintable(ext + ": " + tag + " not in\n" + tags));
            const QStringList probed =
                programOutput("ffprobe",
                              {"-v", "error", "-show_entries",
                               "format_tags=artist,album:stream=codec_name:disposition=attached_pic", "-of",
                               "default=nw=1", out})
                    .split('\n', Qt::SkipEmptyParts);
            for (const QString line : {"codec_name=pcm_s16be", "codec_name=png", "DISPOSITION:attached_pic=1",
                                       "TAG:artist=Ann", "TAG:album=Road"})
                QVERIFY2(probed.contains(line),
                         qPrintable(ext + ": " + line + " not in\n" + probed.join('\n')));
            // The cover as it was, byte for byte.
            QFile in(cover), result(out);
            QVERIFY(in.open(QIODevice::ReadOnly) && result.open(QIODevice::ReadOnly));
            QVERIFY(result.readAll().contains(in.readAll()));
        }
    }

    void cancellingEndsFfmpeg()
    {
        const QString src = copyOf("long.mkv");
        Job job(QString(), QString(), 0);
        QList<int> running;
        QVERIFY(failure([&] {
                    Converter::convert(src, "webm", job, [&](double) {
                        if (!job.isCancelled()) running = childProcesses();
                        job.cancel();
                    });
                }).isCancelled());
        QCOMPARE(running.size(), 1);
        QVERIFY2(childProcesses().isEmpty(), "ffmpeg has ended and was reaped");
        QCOMPARE(entries(QFileInfo(src).path()), QStringList{"long.mkv"});
    }

    // Peaks are each run's loudest sample, as loud as it is: runs 1–3, 4–6, 7–9; the tenth sample
    // is never looked at. A real clip gives exactly the peaks of its whole decode,
    // however the bytes are cut; a video without sound has no waveform.
    void waveform()
    {
        const QList<float> samples{0.1f, -0.2f, 0.1f, 0.4f, 0, 0, 0, 0.1f, 0, -0.8f};
        QCOMPARE(Media::peaks(samples, 3), (QList<float>{0.2f, 0.4f, 0.1f}));
        QCOMPARE(Media::peaks({1.5f, -0.5f}, 2), (QList<float>{1, 0.5f})); // overshoot is full scale
        QCOMPARE(Media::peaks({0, 0, 0}, 2), (QList<float>{0, 0}));

        QProcess p;
        p.start("ffmpeg",
                {"-v", "error", "-i", path("rising.flac"), "-ac", "1", "-ar", "8000", "-f", "f32le", "-"});
        QVERIFY(p.waitForFinished(60000));
        const QByteArray decoded = p.readAllStandardOutput();
        QList<float> whole(decoded.size() / 4);
        qFromLittleEndian<float>(decoded.constData(), whole.size(), whole.data());
        QVERIFY(whole.size() > 15000);
        for (const int buckets : {1, 7, 100, 100000}) {
            const QList<float> peaks = Media::peaks(whole, buckets);
            QCOMPARE(peaks.size(), std::min<qsizetype>(buckets, whole.size()));
            QCOMPARE(Media::waveform(path("rising.flac"), buckets), peaks);
            Media::PeakFold fold(buckets);
            for (qsizetype at = 0; at < decoded.size(); at += 3)
                fold.add(QByteArrayView(decoded).sliced(at, std::min<qsizetype>(3, decoded.size() - at)));
            QCOMPARE(fold.peaks(), peaks);
        }
        QVERIFY(Media::waveform(path("tall.mp4"), 20).isEmpty());
    }

    // A song whose sound starts a second in is drawn after a second of silence, as its tools cut
    // it and as a player plays it.
    void waveformOfLateSound()
    {
        QTemporaryDir folder;
        // Its chapters begin at the file's zero, a second before the sound.
        const QString chapters = folder.filePath("chapters.txt");
        QVERIFY(write(chapters, ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=5000\ntitle=All\n"));
        const QString book = folder.filePath("late.m4a");
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "sine=d=4", "-f", "ffmetadata", "-i", chapters, "-map", "0",
                        "-map_chapters", "1", "-c:a", "aac", "-output_ts_offset", "1", book}));
        // A quarter of a second each: the sound begins in the fourth.
        const QList<float> peaks = Media::waveform(book, 20);
        QCOMPARE(peaks.size(), 20);
        for (int k = 0; k < 20; ++k)
            QVERIFY2(k < 3 ? peaks[k] < 0.01f : k < 4 || peaks[k] > 0.05f,
                     qPrintable(QString("%1: %2").arg(k).arg(peaks[k])));
    }

    // An hour at 8000 Hz, a rising ramp, arrives in pieces that split values: the fold never
    // holds more than its capacity, and the peaks still rise with the ramp.
    void waveformOfAnHourStaysSmall()
    {
        const qsizetype n = 3600 * 8000;
        const int buckets = 500;
        Media::PeakFold fold(buckets);
        QList<float> piece(16383);
        QByteArray bytes;
        qsizetype most = 0;
        for (qsizetype at = 0; at < n; at += piece.size()) {
            piece.resize(std::min<qsizetype>(piece.size(), n - at));
            for (qsizetype i = 0; i < piece.size(); ++i)
                piece[i] = (i % 2 ? -1.0f : 1.0f) * float(at + i) / float(n);
            bytes.resize(piece.size() * 4);
            qToLittleEndian<float>(piece.constData(), piece.size(), bytes.data());
            fold.add(QByteArrayView(bytes).first(5));
            fold.add(QByteArrayView(bytes).sliced(5));
            most = std::max(most, fold.kept());
        }
        QCOMPARE(fold.count(), n);
        QVERIFY2(most <= fold.capacity() && fold.capacity() <= 65536, qPrintable(QString::number(most)));
        const QList<float> peaks = fold.peaks();
        QCOMPARE(peaks.size(), buckets);
        QVERIFY(peaks.first() < 0.01 && peaks.last() == 1 && std::is_sorted(peaks.cbegin(), peaks.cend()));
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

    // What the converter refuses before any ffmpeg run (an empty message: nothing to do); the
    // folder keeps only the source. Without the programs (the last case) the readers give nothing
    // rather than fail, and the probe needs none.
    void refusals()
    {
        const QStringList both{"ffmpeg", "ffprobe"};
        for (const auto& [name, target, tools, message] :
             {std::tuple{"clip.mkv", "mkv", both, ""},
              {"notes.xyz", "pdf", both, "Tolvane doesn’t know this kind of file"},
              {"clip.mkv", "mov", QStringList{"ffmpeg"},
               "The file can’t be read: it may be damaged or not a media file"},
              {"clip.mkv", "mov", QStringList{},
               "This needs ffmpeg. Install it with: sudo apt install ffmpeg"}}) {
            QTemporaryDir dir, bin;
            for (const QString& tool : tools)
                QVERIFY(QFile::link(QStandardPaths::findExecutable(tool), bin.filePath(tool)));
            qputenv("TOLVANE_SEARCH_PATH", bin.path().toUtf8());
            QVERIFY(write(dir.filePath(name), {}));
            QStringList out{"(failed)"};
            const ConvertError e = failure([&] { out = convert(dir.filePath(name), target); });
            QCOMPARE(*message ? e.message() : out.join(' '), QString(message));
            QCOMPARE(e.kind() == ConvertError::Kind::missingTool, tools.isEmpty());
            QCOMPARE(entries(dir.path()), QStringList{name});
        }
        QVERIFY(Media::probe(path("clip.mkv")).videoCodec == "h264" &&
                Media::frame(path("clip.mkv"), 0, 64).isNull() &&
                Media::waveform(path("clip.mkv"), 9).isEmpty());
    }
};

QTEST_GUILESS_MAIN(MediaTest)
#include "test_media.moc"
