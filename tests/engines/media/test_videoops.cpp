// The video tool operations run for real on lavfi clips and read back with ffprobe, and the
// order of an operation's ffmpeg runs when its job is cancelled between them.

#include "../../support/enginefixtures_a.h"
#include "../../support/videoclip.h"
#include "core/job.h"
#include "engines/image/videoframe.h"
#include "engines/media/toolops.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>
#include <numeric>

namespace {

struct Probed
{
    double duration = 0;
    int width = 0, height = 0;
    bool audio = false;
    QString title;
};

Probed ffprobe(const QString& path)
{
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-print_format", "json", "-show_format", "-show_streams", path});
    p.waitForFinished(60000);
    const QJsonObject top = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    Probed out;
    const QJsonObject format = top["format"].toObject();
    out.duration = format["duration"].toString().toDouble();
    out.title = format["tags"].toObject()["title"].toString();
    for (const QJsonValue& v : top["streams"].toArray()) {
        const QJsonObject s = v.toObject();
        if (s["codec_type"] == "audio") out.audio = true;
        if (s["codec_type"] == "video" && out.width == 0) {
            out.width = s["width"].toInt();
            out.height = s["height"].toInt();
        }
    }
    return out;
}

bool near(double value, double expected, double slack = 0.15)
{
    return qAbs(value - expected) <= slack;
}

} // namespace

class VideoOpsTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    Job m_job{{}, {}, 0};

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase()
    {
        // 640 × 360 at 30 fps with sound and a title, 3 s; a silent 320 × 240 clip at 25 fps, 2 s.
        QVERIFY(Fixture::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=640x360:r=30:d=3", "-f", "lavfi", "-i",
                                 "sine=d=3", "-pix_fmt", "yuv420p", "-c:v", "libx264", "-preset", "ultrafast",
                                 "-metadata", "title=Secret place", path("Trip.mp4")}));
        QVERIFY(Fixture::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=320x240:r=25:d=2", "-pix_fmt", "yuv420p",
                                 "-c:v", "libx264", "-preset", "ultrafast", path("Quiet.mov")}));
        QVERIFY(Fixture::ffmpeg({"-f", "lavfi", "-i", "sine=d=2", path("Sound.m4a")}));
    }

    void trimAndSplit()
    {
        const QString fast = ToolOps::trimVideo(path("Trip.mp4"), {0.5, 2.5}, true, m_job, {}).value(0);
        const QString slow = ToolOps::trimVideo(path("Trip.mp4"), {0.5, 2.5}, false, m_job, {}).value(0);
        QCOMPARE(QStringList({fast, slow}),
                 QStringList({path("Trip Trimmed.mp4"), path("Trip Trimmed 2.mp4")}));
        QVERIFY(near(ffprobe(slow).duration, 2.0));
        QVERIFY(ffprobe(fast).audio && ffprobe(fast).duration > 1.5);

        QVERIFY(QDir(m_dir.path()).mkdir("Trip Clips"));
        QList<double> reported;
        const QStringList folder = ToolOps::splitVideo(path("Trip.mp4"), {{0, 1}, {1, 2}, {2, 3}}, false,
                                                       m_job, [&](double p) { reported << p; });
        QCOMPARE(folder, QStringList{path("Trip Clips 2")});
        QCOMPARE(Fixture::entries(folder[0]),
                 QStringList({"Trip Clip 1.mp4", "Trip Clip 2.mp4", "Trip Clip 3.mp4"}));
        QVERIFY(reported.contains(1.0 / 3));
        QVERIFY(near(ffprobe(folder[0] + "/Trip Clip 3.mp4").duration, 1.0));

        // Past the end: ffmpeg writes an empty clip and exits 0; the whole split fails instead.
        const ConvertError e = Fixture::failure([&] {
            ToolOps::splitVideo(path("Trip.mp4"), {{0, 1}, {4, 5}}, true, m_job, {});
        });
        QCOMPARE(e.message(), "Part 2 lies past the end of Trip.mp4");
        const ConvertError t = Fixture::failure([&] {
            ToolOps::trimVideo(path("Trip.mp4"), {5, 6}, false, m_job, {});
        });
        QCOMPARE(t.message(), "The chosen range lies past the end of Trip.mp4");
        QVERIFY(!QFile::exists(path("Trip Clips 3")) && !QFile::exists(path("Trip Trimmed 3.mp4")));
        QVERIFY(QDir(m_dir.path()).entryList({".tolvane-*"}, QDir::AllEntries | QDir::Hidden).isEmpty());
    }

    void pictureAndPace()
    {
        const QString crop =
            ToolOps::cropVideo(path("Trip.mp4"), QRectF(0.25, 0.25, 0.5, 0.5), m_job, {}).value(0);
        QCOMPARE(crop, path("Trip Cropped.mp4"));
        QCOMPARE(QSize(ffprobe(crop).width, ffprobe(crop).height), QSize(320, 180));

        const QString fast = ToolOps::speed(path("Trip.mp4"), 2, true, "2x", m_job, {}).value(0);
        QCOMPARE(fast, path("Trip Speed 2x.mp4"));
        QVERIFY(near(ffprobe(fast).duration, 1.5) && ffprobe(fast).audio);
        const QString slow = ToolOps::speed(path("Quiet.mov"), 0.5, false, ".5x", m_job, {}).value(0);
        QCOMPARE(slow, path("Quiet Speed .5x.mov"));
        QVERIFY(near(ffprobe(slow).duration, 4.0) && !ffprobe(slow).audio);
    }

    // A speed that is not a number above zero is refused before ffmpeg starts or anything is
    // written, whether the sound keeps its pitch or not: an ffmpeg that logs each start stays
    // silent. Resampled sound comes first: were the refusal gone, the tempo chain that keeps the
    // pitch would never end for an endless speed, where this fails at once.
    void speedRefusedBeforeWork()
    {
        QTemporaryDir bin;
        const QString log = bin.filePath("runs.log");
        Fixture::write(bin.filePath("ffmpeg"),
                       QStringLiteral("#!/bin/sh\necho run >> '%1'\nexit 1\n").arg(log).toUtf8());
        QFile::setPermissions(bin.filePath("ffmpeg"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("TOLVANE_SEARCH_PATH", bin.path().toUtf8());
        const auto restore = qScopeGuard([] { qunsetenv("TOLVANE_SEARCH_PATH"); });
        const QStringList before = Fixture::entries(m_dir.path());
        for (const bool keepPitch : {false, true})
            for (const double bad : {qQNaN(), qInf(), -qInf(), 0.0, -2.0}) {
                const ConvertError e = Fixture::failure(
                    [&] { ToolOps::speed(path("Trip.mp4"), bad, keepPitch, "x", m_job, {}); });
                QCOMPARE(e.kind(), ConvertError::Kind::unsupported);
                QCOMPARE(e.message(), "The speed must be a number above zero");
                QVERIFY(!QFile::exists(log));
                QCOMPARE(Fixture::entries(m_dir.path()), before);
            }
    }

    void snapshotsInTimeOrder()
    {
        const QStringList shots = ToolOps::snapshots(path("Trip.mp4"), {2.0, 0.5}, m_job, {});
        QCOMPARE(shots, QStringList({path("Trip Snapshot 1.png"), path("Trip Snapshot 2.png")}));
        QCOMPARE(QImage(shots[0]).size(), QSize(640, 360));
        QCOMPARE(ToolOps::snapshots(path("Trip.mp4"), {1.0}, m_job, {}),
                 QStringList{path("Trip Snapshot.png")});
        QCOMPARE(Fixture::failure([&] { ToolOps::snapshots(path("Trip.mp4"), {9.0}, m_job, {}); }).message(),
                 "Nothing was written");
    }

    // A still, a snapshot and the first frame of a trimmed or split clip are the frame shown at
    // their time: the last one that starts at or before it, counted from the file's start also
    // where the picture starts after the sound, and the first one for a time before the picture.
    // A split loses no frame and doubles none at its seams.
    void framesShownAtATime()
    {
        const double frame = 1001.0 / 30000;
        QVERIFY(makeNumberedClip(path("Count.mp4")) && makeNumberedClip(path("Late.mkv"), 0.5));
        const double late = pictureDelay(path("Late.mkv"));
        QVERIFY(late > 0.45);
        const struct
        {
            const char* file;
            double at;
            int shown;
        } rows[] = {{"Count.mp4", 0, 0},
                    {"Count.mp4", 5 * frame, 5},
                    {"Count.mp4", 5.5 * frame, 5},
                    {"Count.mp4", 5.97 * frame, 5},
                    {"Count.mp4", 41 * frame, 41},
                    {"Count.mp4", 41.6 * frame, 41},
                    {"Late.mkv", 0.2, 0},
                    {"Late.mkv", late + 7.5 * frame, 7},
                    {"Late.mkv", late + 40.4 * frame, 40}};
        for (const auto& r : rows) {
            const QString row = QStringLiteral("%1 at %2").arg(r.file).arg(r.at);
            const QString file = path(r.file);
            QVERIFY2(frameNumber(Media::frame(file, r.at, 1000)) == r.shown, qPrintable(row));
            const QString shot = ToolOps::snapshots(file, {r.at}, m_job, {}).value(0);
            QVERIFY2(frameNumber(QImage(shot)) == r.shown, qPrintable(row));
            const QString trimmed = ToolOps::trimVideo(file, {r.at, r.at + 0.3}, false, m_job, {}).value(0);
            QVERIFY2(frameNumbers(trimmed).value(0) == r.shown, qPrintable(row));
            QVERIFY(QFile::remove(shot) && QFile::remove(trimmed));
        }

        const QString clips =
            ToolOps::splitVideo(path("Count.mp4"),
                                {{0, 10.5 * frame}, {10.5 * frame, 30 * frame}, {30 * frame, 2.002}}, false,
                                m_job, {})
                .value(0);
        QList<int> numbers, firsts;
        for (int i = 1; i <= 3; ++i) {
            const QList<int> clip = frameNumbers(clips + QStringLiteral("/Count Clip %1.mp4").arg(i));
            firsts << clip.value(0);
            numbers += clip;
        }
        QCOMPARE(firsts, (QList<int>{0, 10, 30}));
        QList<int> every(60);
        std::iota(every.begin(), every.end(), 0);
        QCOMPARE(numbers, every);
    }

    void join()
    {
        const QString joined = ToolOps::join({path("Trip.mp4"), path("Quiet.mov")}, m_job, {}).value(0);
        QCOMPARE(joined, path("Trip Joined.mp4"));
        const Probed p = ffprobe(joined);
        QVERIFY(p.audio);
        QCOMPARE(QSize(p.width, p.height), QSize(640, 360));
        QVERIFY(near(p.duration, 5.0, 0.2));
        // A first clip without a picture would size the join at 2 × 2.
        QCOMPARE(Fixture::failure([&] {
                     ToolOps::join({path("Sound.m4a"), path("Trip.mp4")}, m_job, {});
                 }).message(),
                 "Sound.m4a has no picture to size the joined video by");
        QVERIFY(!QFile::exists(path("Sound Joined.mp4")));
    }

    void redact()
    {
        // A 40-pixel box, too small for a fixed blur radius on the chroma planes.
        const QRectF small(0.1, 0.1, 40.0 / 640, 40.0 / 360);
        const QString blur =
            ToolOps::redactVideo(path("Trip.mp4"), {small}, RedactStyle::blur, std::nullopt, m_job, {})
                .value(0);
        QCOMPARE(blur, path("Trip Redacted.mp4"));
        QVERIFY(near(ffprobe(blur).duration, 3.0) && ffprobe(blur).audio);
        QCOMPARE(ffprobe(blur).title, QString()); // the source's title is not carried

        const QString black = ToolOps::redactVideo(path("Trip.mp4"), {QRectF(0.25, 0.25, 0.5, 0.5)},
                                                   RedactStyle::black, TimeRange{1, 2}, m_job, {})
                                  .value(0);
        const QImage during = QImage(ToolOps::snapshots(black, {1.5}, m_job, {}).value(0));
        const QImage after = QImage(ToolOps::snapshots(black, {2.5}, m_job, {}).value(0));
        QVERIFY(qGray(during.pixel(320, 180)) < 20 && qGray(during.pixel(200, 120)) < 20);
        QVERIFY(qGray(after.pixel(320, 180)) > 20 || qGray(after.pixel(200, 120)) > 20);
    }

    // A cancel that comes between two runs of one operation stops it before the next run starts:
    // an ffmpeg that logs each start shows one run only.
    void cancelBetweenRuns()
    {
        QTemporaryDir bin;
        const QString log = bin.filePath("runs.log");
        Fixture::write(
            bin.filePath("ffmpeg"),
            QStringLiteral("#!/bin/sh\necho run >> '%1'\nexec /usr/bin/ffmpeg \"$@\"\n").arg(log).toUtf8());
        QFile::setPermissions(bin.filePath("ffmpeg"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("TOLVANE_SEARCH_PATH", bin.path().toUtf8());
        Job job({}, {}, 0);
        const ConvertError e = Fixture::failure([&] {
            ToolOps::splitVideo(path("Trip.mp4"), {{0, 1}, {1, 2}}, true, job, [&](double p) {
                if (p >= 0.5) job.cancel();
            });
        });
        qunsetenv("TOLVANE_SEARCH_PATH");
        QVERIFY(e.isCancelled());
        QCOMPARE(Fixture::read(log), "run\n");
        QVERIFY(QDir(m_dir.path())
                    .entryList({".tolvane-*", "Trip Clips 3"}, QDir::AllEntries | QDir::Hidden)
                    .isEmpty());
    }
};

QTEST_GUILESS_MAIN(VideoOpsTest)
#include "test_videoops.moc"
