// The Change Video Speed tool's work run for real on lavfi clips, its refusal of a speed that is
// not a number above zero, and its tempo chains and graphs built under the C locale and a German
// one.

#include "../../../support/decimallocales.h"
#include "../../../support/enginefixtures_a.h"
#include "../../../support/probedclip.h"
#include "core/converterror.h"
#include "core/job.h"
#include "tools/video/speed/speedwork.h"

#include <QTemporaryDir>
#include <QtTest>

class SpeedWorkTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    Job m_job{{}, {}, 0};

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase()
    {
        // 640 × 360 at 30 fps with sound, 3 s; a silent 320 × 240 clip at 25 fps, 2 s.
        QVERIFY(makeTrip(path("Trip.mp4")));
        QVERIFY(makeQuiet(path("Quiet.mov")));
    }

    void pace()
    {
        const QString fast = ToolOps::speed(path("Trip.mp4"), 2, true, "2x", m_job, {}).value(0);
        QCOMPARE(fast, path("Trip Speed 2x.mp4"));
        QVERIFY(near(ffprobe(fast).duration, 1.5) && !ffprobe(fast).audio.isEmpty());
        const QString slow = ToolOps::speed(path("Quiet.mov"), 0.5, false, ".5x", m_job, {}).value(0);
        QCOMPARE(slow, path("Quiet Speed .5x.mov"));
        QVERIFY(near(ffprobe(slow).duration, 4.0) && ffprobe(slow).audio.isEmpty());
    }

    // The result lasts the range divided by the speed: the picture holds the source's frame rate
    // for exactly that long, as long as the sound, and the chapters and the container's length
    // follow, in MP4 and in Matroska.
    void lengthFollowsTheSpeed_data()
    {
        QTest::addColumn<QString>("ext");
        QTest::addColumn<double>("speed");
        QTest::addColumn<int>("frames"); // 8 s at 25 fps divided by the speed
        QTest::newRow("mp4 1.5x") << "mp4" << 1.5 << 133;
        QTest::newRow("mkv 2x") << "mkv" << 2.0 << 100;
        QTest::newRow("mp4 .5x") << "mp4" << 0.5 << 400;
    }
    void lengthFollowsTheSpeed()
    {
        QFETCH(QString, ext);
        QFETCH(double, speed);
        // 8 s at 25 fps with a tone and the chapters "One" 0–3 s and "Two" 3–8 s.
        const QString source = path("Eight." + ext);
        if (!QFile::exists(source)) {
            QVERIFY(Fixture::write(path("chapters.txt"), ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\n"
                                                         "END=3000\ntitle=One\n[CHAPTER]\nTIMEBASE=1/1000\n"
                                                         "START=3000\nEND=8000\ntitle=Two\n"));
            QVERIFY(Fixture::ffmpeg({"-f",
                                     "lavfi",
                                     "-i",
                                     "testsrc2=s=160x90:r=25:d=8",
                                     "-f",
                                     "lavfi",
                                     "-i",
                                     "sine=d=8",
                                     "-i",
                                     path("chapters.txt"),
                                     "-map",
                                     "0",
                                     "-map",
                                     "1",
                                     "-map_chapters",
                                     "2",
                                     "-pix_fmt",
                                     "yuv420p",
                                     "-c:v",
                                     "libx264",
                                     "-preset",
                                     "ultrafast",
                                     "-c:a",
                                     "aac",
                                     source}));
            QCOMPARE(probedChapters(source).size(), 2);
        }
        const QString result = ToolOps::speed(source, speed, true, "x", m_job, {}).value(0);
        const double length = 8 / speed;
        QFETCH(int, frames);
        QCOMPARE(countedFrames(result), frames);
        const double sound = countedFrames(result, "a:0") * 1024.0 / ffprobe(result).sampleRate;
        QVERIFY2(qAbs(sound - length) < 0.1, qPrintable(QString::number(sound))); // in blocks of 1024

        QVERIFY2(near(ffprobe(result).duration, length, 0.05),
                 qPrintable(QString::number(ffprobe(result).duration)));
        const QList<ProbedChapter> chapters = probedChapters(result);
        QCOMPARE(chapters.size(), 2);
        QCOMPARE(chapters[0].title, "One");
        QVERIFY(near(chapters[0].start, 0, 0.002) && near(chapters[0].end, 3 / speed, 0.002));
        QCOMPARE(chapters[1].title, "Two");
        QVERIFY(near(chapters[1].start, 3 / speed, 0.002) && near(chapters[1].end, length, 0.002));
        QVERIFY(QFile::remove(result));
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

    void tempoAndGraph_data() { decimalLocaleRows(); }
    void tempoAndGraph()
    {
        const RowLocale locale;
        QVERIFY(locale.isSet());
        QCOMPARE(ToolOps::atempo(4), "atempo=2,atempo=2.0000");
        QCOMPARE(ToolOps::atempo(0.25), "atempo=0.5,atempo=0.5000");
        QCOMPARE(ToolOps::atempo(3), "atempo=2,atempo=1.5000");
        QCOMPARE(ToolOps::atempo(1.25), "atempo=1.2500");
        // NaN first: its tempo chain ends even when it is let through, the others' never do.
        for (const double bad : {qQNaN(), 0.0, -1.0, qInf()})
            QVERIFY_THROWS_EXCEPTION(ConvertError, ToolOps::atempo(bad));
        QCOMPARE(
            SpeedWork::speedGraph(0.5, false, 44100),
            "[0:v]setpts='if(between(mod(STARTPTS*TB*FRAME_RATE/0.5000,1),0.5,0.999),round((PTS-STARTPTS)/"
            "0.5000+floor(STARTPTS*TB*FRAME_RATE/0.5000)/FRAME_RATE/TB),PTS/0.5000)',"
            "fps=source_fps,crop=trunc(iw/2)*2:trunc(ih/2)*2:0:0[v];"
            "[0:a]asetrate=44100*0.5000,aresample=44100[a]");
        QCOMPARE(
            SpeedWork::speedGraph(2, true, std::nullopt),
            "[0:v]setpts='if(between(mod(STARTPTS*TB*FRAME_RATE/2.0000,1),0.5,0.999),round((PTS-STARTPTS)/"
            "2.0000+floor(STARTPTS*TB*FRAME_RATE/2.0000)/FRAME_RATE/TB),PTS/2.0000)',"
            "fps=source_fps,crop=trunc(iw/2)*2:trunc(ih/2)*2:0:0[v]");
    }
};

QTEST_GUILESS_MAIN(SpeedWorkTest)
#include "test_speedwork.moc"
