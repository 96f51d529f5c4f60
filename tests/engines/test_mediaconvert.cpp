#include "engines/converter.h"
#include "engines/media.h"

#include "core/converterror.h"
#include "core/job.h"
#include "mediafixtures.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QUuid>
#include <QtEndian>
#include <QtTest>
#include <unistd.h>

namespace {

// The offsets of the top-level boxes of an MP4 file, by type.
QHash<QByteArray, qint64> topLevelBoxes(const QString& path)
{
    QHash<QByteArray, qint64> boxes;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return boxes;
    for (qint64 at = 0; at + 8 <= f.size();) {
        f.seek(at);
        const QByteArray head = f.read(16);
        quint64 size = qFromBigEndian<quint32>(head.constData());
        if (size == 1 && head.size() == 16) size = qFromBigEndian<quint64>(head.constData() + 8);
        boxes.insert(head.mid(4, 4), at);
        if (size < 8) break;
        at += qint64(size);
    }
    return boxes;
}

// The children of this process that run `program`.
QList<pid_t> childrenRunning(const QString& program)
{
    QList<pid_t> out;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool ok = false;
        const pid_t pid = entry.toInt(&ok);
        if (!ok) continue;
        QFile stat("/proc/" + entry + "/stat");
        if (!stat.open(QIODevice::ReadOnly)) continue;
        const QByteArray text = stat.readAll();
        const qsizetype open = text.indexOf('('), close = text.lastIndexOf(')');
        const QList<QByteArray> rest = text.mid(close + 2).split(' ');
        if (text.mid(open + 1, close - open - 1) == program.toUtf8() && rest.value(1).toInt() == ::getpid()) out << pid;
    }
    return out;
}

QString codec(const QJsonObject& stream)
{
    return stream.value("codec_name").toString();
}

} // namespace

class MediaConvertTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_fixtures;
    QTemporaryDir m_work;
    Job m_job{QString(), QString(), 0};

    QString fixture(const QString& name) const { return m_fixtures.filePath(name); }

    // A fresh copy of a fixture in its own folder, so that every test sees only its own results.
    QString copyOf(const QString& name)
    {
        const QString folder = m_work.filePath(QUuid::createUuid().toString(QUuid::WithoutBraces));
        QDir().mkpath(folder);
        const QString path = folder + "/" + name;
        QFile::copy(fixture(name), path);
        return path;
    }

    QStringList convert(const QString& source, const QString& target, QList<double>* progress = nullptr)
    {
        return Converter::convert(source, target, m_job, [progress](double f) {
            if (progress) *progress << f;
        });
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_fixtures.isValid() && m_work.isValid());
        const auto x264 = QStringList{"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"};
        QVERIFY(Fixture::ffmpeg(Fixture::sources(1) + x264 + QStringList{"-c:a", "aac", "-shortest", fixture("clip.mkv")}));
        QVERIFY(Fixture::ffmpeg(Fixture::sources(1) + QStringList{"-c:v", "libx265", "-preset", "ultrafast",
                                                                   "-x265-params", "log-level=none", "-c:a", "aac",
                                                                   "-shortest", fixture("hevc.mkv")}));
        // A second audio track that MP4 can't hold: the stream copy fails.
        QVERIFY(Fixture::ffmpeg(Fixture::sources(1) + QStringList{"-f", "lavfi", "-i", "sine=f=220:d=1", "-map", "0",
                                                                   "-map", "1", "-map", "2"}
                                + x264 + QStringList{"-c:a:0", "aac", "-c:a:1", "pcm_s16le", "-shortest", fixture("two.mkv")}));
        QVERIFY(Fixture::ffmpeg(QStringList{"-f", "lavfi", "-i", "color=red:s=64x64:d=0.04", "-frames:v", "1",
                                            fixture("cover.png")}));
        QVERIFY(Fixture::ffmpeg(QStringList{"-f", "lavfi", "-i", "sine=d=1", "-i", fixture("cover.png"), "-map", "0",
                                            "-map", "1", "-c:a", "libmp3lame", "-c:v", "png", "-disposition:v",
                                            "attached_pic", "-id3v2_version", "3", fixture("song.mp3")}));
        QVERIFY(Fixture::ffmpeg(Fixture::sources(8) + x264 + QStringList{"-c:a", "aac", "-shortest", fixture("long.mkv")}));
    }

    void streamCopyToMp4_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("video");
        QTest::addColumn<QString>("tag");
        QTest::newRow("h264") << "clip.mkv" << "h264" << "avc1";
        QTest::newRow("hevc") << "hevc.mkv" << "hevc" << "hvc1";
    }

    void streamCopyToMp4()
    {
        QFETCH(QString, source);
        const QString src = copyOf(source);
        const QStringList results = convert(src, "mp4");
        QCOMPARE(results.size(), 1);
        QCOMPARE(QFileInfo(results.first()).fileName(), QFileInfo(source).completeBaseName() + ".mp4");

        const auto before = Fixture::streams(Fixture::probe(src), "video").value(0);
        const auto after = Fixture::streams(Fixture::probe(results.first()), "video").value(0);
        QTEST(codec(after), "video");
        QTEST(after.value("codec_tag_string").toString(), "tag");
        // A copy keeps the encoder's profile; a re-encode would have made its own.
        QCOMPARE(after.value("profile").toString(), before.value("profile").toString());
        QCOMPARE(codec(Fixture::streams(Fixture::probe(results.first()), "audio").value(0)), QString("aac"));

        const auto boxes = topLevelBoxes(results.first());
        QVERIFY(boxes.contains("moov") && boxes.contains("mdat"));
        QVERIFY2(boxes.value("moov") < boxes.value("mdat"), "faststart puts the index first");
    }

    void reencodes_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("video"); // "-" for no video stream
        QTest::addColumn<QString>("audio");
        QTest::newRow("webm") << "clip.mkv" << "webm" << "vp9" << "opus";
        QTest::newRow("video to mp3") << "clip.mkv" << "mp3" << "-" << "mp3";
        QTest::newRow("song with cover art to m4a") << "song.mp3" << "m4a" << "-" << "aac";
        QTest::newRow("song with cover art to flac") << "song.mp3" << "flac" << "-" << "flac";
    }

    void reencodes()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(QString, video);
        const QString src = copyOf(source);
        QList<double> progress;
        const QStringList results = convert(src, target, &progress);
        QCOMPARE(results.size(), 1);
        QVERIFY(results.first().endsWith("." + target));

        const QJsonObject out = Fixture::probe(results.first());
        const auto videos = Fixture::streams(out, "video");
        if (video == "-") {
            QVERIFY2(videos.isEmpty(), "an audio target carries no picture, not even a cover");
        } else {
            QCOMPARE(videos.size(), 1);
            QCOMPARE(codec(videos.first()), video);
            QVERIFY(videos.first().value("nb_read_frames").toString().toInt() > 1);
        }
        const auto audios = Fixture::streams(out, "audio");
        QCOMPARE(audios.size(), 1);
        QTEST(codec(audios.first()), "audio");
        for (double f : progress) QVERIFY(f >= 0 && f <= 1);
    }

    void coverArtNeverBecomesTheVideo()
    {
        const QString src = copyOf("song.mp3");
        QVERIFY(!Media::probe(src).videoCodec);
        try {
            convert(src, "mkv");
            QFAIL("a song has no picture to make a video of");
        } catch (const ConvertError& e) {
            QCOMPARE(e.kind(), ConvertError::Kind::failed);
        }
        QCOMPARE(Fixture::entries(QFileInfo(src).path()), QStringList{"song.mp3"});
    }

    void gifRoundTrip()
    {
        const QString src = copyOf("clip.mkv");
        const QString gif = convert(src, "gif").value(0);
        const auto gifVideo = Fixture::streams(Fixture::probe(gif), "video").value(0);
        QCOMPARE(codec(gifVideo), QString("gif"));
        QCOMPARE(gifVideo.value("width").toInt(), 160);

        const QString back = convert(gif, "mp4").value(0);
        QCOMPARE(QFileInfo(back).fileName(), QString("clip.mp4"));
        const auto video = Fixture::streams(Fixture::probe(back), "video").value(0);
        QCOMPARE(codec(video), QString("h264"));
        QCOMPARE(video.value("width").toInt(), 160);
        QVERIFY(video.value("nb_read_frames").toString().toInt() > 1);
    }

    void failedCopyIsReencoded()
    {
        const QString src = copyOf("two.mkv");
        QVERIFY(Media::canCopy(Media::probe(src), "mp4"));
        const QStringList results = convert(src, "mp4");
        QCOMPARE(results.size(), 1);
        const QJsonObject out = Fixture::probe(results.first());
        QCOMPARE(Fixture::streams(out, "video").size(), 1);
        const auto audios = Fixture::streams(out, "audio");
        QCOMPARE(audios.size(), 2);
        for (const QJsonObject& a : audios) QCOMPARE(codec(a), QString("aac"));
        QCOMPARE(Fixture::entries(QFileInfo(src).path()), (QStringList{"two.mkv", "two.mp4"}));
    }

    void takenNamesAreNumbered()
    {
        const QString src = copyOf("clip.mkv");
        QCOMPARE(QFileInfo(convert(src, "mp4").value(0)).fileName(), QString("clip.mp4"));
        QCOMPARE(QFileInfo(convert(src, "mp4").value(0)).fileName(), QString("clip 2.mp4"));
    }

    void cancellingEndsFfmpeg()
    {
        const QString src = copyOf("long.mkv");
        Job job(QString(), QString(), 0);
        QList<pid_t> running;
        try {
            Converter::convert(src, "webm", job, [&](double) {
                if (job.isCancelled()) return;
                running = childrenRunning("ffmpeg");
                job.cancel();
            });
            QFAIL("a cancelled conversion must throw");
        } catch (const ConvertError& e) {
            QVERIFY(e.isCancelled());
        }
        QCOMPARE(running.size(), 1);
        QVERIFY2(!QFile::exists(QString("/proc/%1").arg(running.first())), "ffmpeg has ended and was reaped");
        QVERIFY(childrenRunning("ffmpeg").isEmpty());
        QCOMPARE(Fixture::entries(QFileInfo(src).path()), QStringList{"long.mkv"});
    }

    void routing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("message"); // empty: nothing to do
        QTest::newRow("same format") << "clip.mkv" << "mkv" << "";
        QTest::newRow("alias of the same format") << "clip.m4v" << "mp4" << "";
        QTest::newRow("unknown kind") << "notes.xyz" << "pdf" << "Tolvane doesn’t know this kind of file";
        QTest::newRow("no extension") << "README" << "pdf" << "Tolvane doesn’t know this kind of file";
        QTest::newRow("image engine not built") << "photo.png" << "jpg" << "Converting images isn’t available yet";
        QTest::newRow("archive engine not built") << "a.zip" << "tar" << "Converting archives isn’t available yet";
    }

    void routing()
    {
        QFETCH(QString, name);
        QFETCH(QString, target);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        try {
            QVERIFY(convert(path, target).isEmpty());
            QVERIFY(message.isEmpty());
        } catch (const ConvertError& e) {
            QCOMPARE(e.kind(), ConvertError::Kind::unsupported);
            QCOMPARE(e.message(), message);
        }
        QCOMPARE(Fixture::entries(dir.path()), QStringList{name});
    }

    void missingTools_data()
    {
        QTest::addColumn<QStringList>("present");
        QTest::newRow("neither") << QStringList{};
        QTest::newRow("no ffprobe") << QStringList{"ffmpeg"};
        QTest::newRow("no ffmpeg") << QStringList{"ffprobe"};
    }

    void missingTools()
    {
        QFETCH(QStringList, present);
        QTemporaryDir bin;
        for (const QString& program : present) QVERIFY(QFile::link("/usr/bin/" + program, bin.filePath(program)));
        const QString src = copyOf("clip.mkv");
        qputenv("TOLVANE_SEARCH_PATH", bin.path().toUtf8());
        try {
            convert(src, "mov");
            qunsetenv("TOLVANE_SEARCH_PATH");
            QFAIL("a missing tool must throw");
        } catch (const ConvertError& e) {
            qunsetenv("TOLVANE_SEARCH_PATH");
            QCOMPARE(e.kind(), ConvertError::Kind::missingTool);
            QCOMPARE(e.message(), QString("This needs ffmpeg. Install it with: sudo apt install ffmpeg"));
        }
        QCOMPARE(Fixture::entries(QFileInfo(src).path()), QStringList{"clip.mkv"});
    }
};

QTEST_GUILESS_MAIN(MediaConvertTest)
#include "test_mediaconvert.moc"
