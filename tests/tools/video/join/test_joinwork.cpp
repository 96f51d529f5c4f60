// The Join Videos tool's work run for real on lavfi clips, the first clip's tags kept, its refusal
// of a clip without a picture before any ffmpeg run, and its filter graph built under the C locale
// and a German one.

#include "../../../support/decimallocales.h"
#include "../../../support/enginefixtures_a.h"
#include "../../../support/probedclip.h"
#include "../../../support/streamjudge.h"
#include "core/job.h"
#include "tools/video/join/joinwork.h"

#include <QTemporaryDir>
#include <QtTest>

class JoinWorkTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    Job m_job{{}, {}, 0};

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase()
    {
        // 640 × 360 at 30 fps with sound, 3 s; a silent 320 × 240 clip at 25 fps, 2 s; a sound.
        QVERIFY(makeTrip(path("Trip.mp4")));
        QVERIFY(makeQuiet(path("Quiet.mov")));
        QVERIFY(Fixture::ffmpeg({"-f", "lavfi", "-i", "sine=d=2", path("Sound.m4a")}));
    }

    void join()
    {
        const QString joined = ToolOps::join({path("Trip.mp4"), path("Quiet.mov")}, m_job, {}).value(0);
        QCOMPARE(joined, path("Trip Joined.mp4"));
        const Probed p = ffprobe(joined);
        QVERIFY(!p.audio.isEmpty());
        QCOMPARE(QSize(p.width, p.height), QSize(640, 360));
        QVERIFY(near(p.duration, 5.0, 0.2));
        // A first clip without a picture would size the join at 2 × 2.
        QCOMPARE(Fixture::failure([&] {
                     ToolOps::join({path("Sound.m4a"), path("Trip.mp4")}, m_job, {});
                 }).message(),
                 "Sound.m4a has no picture to join");
        QVERIFY(!QFile::exists(path("Sound Joined.mp4")));
    }

    // The joined film is the first clip's: it keeps the moment and place that clip was taken and
    // its title, not the second clip's, though ffmpeg drops a film's moment unless told.
    void keepsFirstClipsTags()
    {
        const QString moment = "2024-05-04T10:20:30";
        QVERIFY(Judge::make(
            m_dir.path(),
            "-f lavfi -i testsrc2=s=160x120:r=25:d=1 -f lavfi -i sine=d=1 -c:v libx264 -preset "
            "ultrafast -pix_fmt yuv420p -c:a aac -metadata title=Harbour -metadata creation_time=" +
                moment +
                "Z -movflags use_metadata_tags "
                "-metadata com.apple.quicktime.location.ISO6709=+48.8584+002.2945/",
            "Taken.mov"));
        QVERIFY(Judge::make(m_dir.path(),
                            "-f lavfi -i testsrc2=s=160x120:r=25:d=1 -c:v libx264 -preset ultrafast -pix_fmt "
                            "yuv420p -metadata title=Later -metadata creation_time=2025-01-01T00:00:00Z "
                            "-metadata location=+10.0000+020.0000/",
                            "Later.mp4"));
        const QString joined = ToolOps::join({path("Taken.mov"), path("Later.mp4")}, m_job, {}).value(0);
        const QJsonObject tags = Judge::probe(joined).tags;
        QCOMPARE(tags["creation_time"].toString().left(19), moment);
        QCOMPARE(tags["location"].toString(), QString("+48.8584+002.2945/"));
        QCOMPARE(tags["title"].toString(), QString("Harbour"));
    }

    // A clip without a picture is refused wherever it stands, naming that clip, before ffmpeg
    // runs or anything is written: an ffmpeg that logs each start stays silent.
    void laterClipWithoutPicture()
    {
        QTemporaryDir bin;
        const QString log = bin.filePath("runs.log");
        Fixture::write(
            bin.filePath("ffmpeg"),
            QStringLiteral("#!/bin/sh\necho run >> '%1'\nexec /usr/bin/ffmpeg \"$@\"\n").arg(log).toUtf8());
        QFile::setPermissions(bin.filePath("ffmpeg"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(QFile::link("/usr/bin/ffprobe", bin.filePath("ffprobe")));
        qputenv("TOLVANE_SEARCH_PATH", bin.path().toUtf8());
        const auto restore = qScopeGuard([] { qunsetenv("TOLVANE_SEARCH_PATH"); });
        const QStringList before = Fixture::entries(m_dir.path());
        const QString trip = path("Trip.mp4"), quiet = path("Quiet.mov"), sound = path("Sound.m4a");
        for (const QStringList& clips : {QStringList{trip, sound}, QStringList{trip, quiet, sound, trip}}) {
            Job job({}, {}, 0);
            const ConvertError e = Fixture::failure([&] { ToolOps::join(clips, job, {}); });
            QCOMPARE(e.message(), "Sound.m4a has no picture to join");
            QVERIFY(!QFile::exists(log));
            QCOMPARE(Fixture::entries(m_dir.path()), before);
        }
        // The window asks the same question of what it has probed so far.
        QHash<QString, Media::Probe> probes{{trip, Media::probe(trip)}, {sound, Media::probe(sound)}};
        QCOMPARE(JoinWork::clipWithoutPicture({trip, quiet, sound}, probes), sound);
        probes.remove(sound);
        QCOMPARE(JoinWork::clipWithoutPicture({trip, quiet, sound}, probes), std::nullopt);
    }

    void graph_data() { decimalLocaleRows(); }
    void graph()
    {
        const RowLocale locale;
        QVERIFY(locale.isSet());
        const auto joinGraph = [](const QList<JoinWork::JoinClip>& clips) {
            const QStringList args = JoinWork::args(clips, "o.mp4");
            return args[args.indexOf("-filter_complex") + 1];
        };
        QVERIFY(joinGraph({{"a", 1279, 721, 29.97, true, 3}}).contains("scale=1278:720:") &&
                joinGraph({{"a", 1279, 721, 29.97, true, 3}}).contains(",fps=30,"));
        QVERIFY(joinGraph({{"a", 640, 360, 120, true, 3}}).contains(",fps=60,"));
        QVERIFY(joinGraph({{"a", 1, 1, 30, true, 3}}).contains("pad=2:2:"));
        const QStringList silent =
            JoinWork::args({{"A", 640, 360, 30, true, 3}, {"B", 640, 360, 30, false, 10.5}}, "o");
        QCOMPARE(silent.mid(0, 10), QStringList({"-i", "A", "-i", "B", "-t", "10.500", "-f", "lavfi", "-i",
                                                 "anullsrc=r=48000:cl=stereo"}));
        QVERIFY(joinGraph({{"A", 640, 360, 30, true, 3}, {"B", 640, 360, 30, false, 10.5}})
                    .endsWith("[v0][a0][v1][2:a]concat=n=2:v=1:a=1[v][a]"));
    }
};

QTEST_GUILESS_MAIN(JoinWorkTest)
#include "test_joinwork.moc"
