// The work of the video tools that cut in time (trim, split, snapshots) and of redact, run for
// real on lavfi clips and read back with ffprobe, the re-encode of an odd-sized picture, every
// tool's failure when ffmpeg stops early, and the order of a split's ffmpeg runs when its job is
// cancelled between them.

#include "../../support/enginefixtures_a.h"
#include "../../support/probedclip.h"
#include "../../support/videoclip.h"
#include "core/job.h"
#include "engines/image/videoframe.h"
#include "tools/file/compress/compresswork.h"
#include "tools/video/crop/cropvideowork.h"
#include "tools/video/join/joinwork.h"
#include "tools/video/redact/redactvideowork.h"
#include "tools/video/snapshots/snapshotswork.h"
#include "tools/video/speed/speedwork.h"
#include "tools/video/split/splitvideowork.h"
#include "tools/video/trim/trimvideowork.h"

#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <numeric>

class VideoWorkTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    Job m_job{{}, {}, 0};

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase()
    {
        // 640 × 360 at 30 fps with sound and a title, 3 s.
        QVERIFY(makeTrip(path("Trip.mp4"), {"-metadata", "title=Secret place"}));
    }

    void trimAndSplit()
    {
        const QString fast = ToolOps::trimVideo(path("Trip.mp4"), {0.5, 2.5}, true, m_job, {}).value(0);
        const QString slow = ToolOps::trimVideo(path("Trip.mp4"), {0.5, 2.5}, false, m_job, {}).value(0);
        QCOMPARE(QStringList({fast, slow}),
                 QStringList({path("Trip Trimmed.mp4"), path("Trip Trimmed 2.mp4")}));
        QVERIFY(near(ffprobe(slow).duration, 2.0));
        QVERIFY(!ffprobe(fast).audio.isEmpty() && ffprobe(fast).duration > 1.5);

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

    void redact()
    {
        // A 40-pixel box, too small for a fixed blur radius on the chroma planes.
        const QRectF small(0.1, 0.1, 40.0 / 640, 40.0 / 360);
        const QString blur =
            ToolOps::redactVideo(path("Trip.mp4"), {small}, RedactStyle::blur, std::nullopt, m_job, {})
                .value(0);
        QCOMPARE(blur, path("Trip Redacted.mp4"));
        QVERIFY(near(ffprobe(blur).duration, 3.0) && !ffprobe(blur).audio.isEmpty());
        QCOMPARE(ffprobe(blur).title, QString()); // the source's title is not carried

        const QString black = ToolOps::redactVideo(path("Trip.mp4"), {QRectF(0.25, 0.25, 0.5, 0.5)},
                                                   RedactStyle::black, TimeRange{1, 2}, m_job, {})
                                  .value(0);
        const QImage during = QImage(ToolOps::snapshots(black, {1.5}, m_job, {}).value(0));
        const QImage after = QImage(ToolOps::snapshots(black, {2.5}, m_job, {}).value(0));
        QVERIFY(qGray(during.pixel(320, 180)) < 20 && qGray(during.pixel(200, 120)) < 20);
        QVERIFY(qGray(after.pixel(320, 180)) > 20 || qGray(after.pixel(200, 120)) > 20);
    }

    // A picture with odd sides, common in screen recordings, comes out of every tool that
    // re-encodes it at the even size within it, as long as asked and with its sound.
    void oddSizedPicture()
    {
        const QString odd = path("Screen.mp4");
        // testsrc keeps odd sides (testsrc2 rounds them), and 4:4:4 H.264 can hold them.
        QVERIFY(Fixture::ffmpeg({"-f", "lavfi", "-i", "testsrc=s=321x241:r=30:d=2", "-f", "lavfi", "-i",
                                 "sine=d=2", "-pix_fmt", "yuv444p", "-c:v", "libx264", "-preset", "ultrafast",
                                 "-c:a", "aac", odd}));
        QCOMPARE(ffprobe(odd).width, 321);
        const QList<std::tuple<QString, double, std::function<QString()>>> rows{
            {"trim", 1.0,
             [&] {
                 return ToolOps::trimVideo(odd, {0.5, 1.5}, false, m_job, {}).value(0);
             }},
            {"split", 1.0,
             [&] {
                 return ToolOps::splitVideo(odd, {{0, 1}, {1, 2}}, false, m_job, {}).value(0) +
                        "/Screen Clip 2.mp4";
             }},
            {"speed up", 1.0, [&] { return ToolOps::speed(odd, 2, true, "2x", m_job, {}).value(0); }},
            {"slow down", 4.0, [&] { return ToolOps::speed(odd, 0.5, false, ".5x", m_job, {}).value(0); }},
            {"redact", 2.0, [&] {
                 return ToolOps::redactVideo(odd, {QRectF(0.5, 0.5, 0.5, 0.5)}, RedactStyle::pixelate,
                                             TimeRange{0.5, 1.5}, m_job, {})
                     .value(0);
             }}};
        for (const auto& [tool, length, run] : rows) {
            QString result;
            const QString error = Fixture::failure([&] { result = run(); }).message();
            QVERIFY2(error == "(no failure)", qPrintable(tool + ": " + error));
            const Probed p = ffprobe(result);
            const QString read =
                QStringLiteral("%1: %2 × %3, %4 s").arg(tool).arg(p.width).arg(p.height).arg(p.duration);
            QVERIFY2(p.width == 320 && p.height == 240, qPrintable(read));
            QVERIFY2(near(p.duration, length) && !p.audio.isEmpty(), qPrintable(read));
        }
    }

    // ffmpeg that exits 0 after 0.3 s of a result makes every video tool and Compress Video fail,
    // saying so, and leaves nothing behind.
    void stoppedEarlyFails()
    {
        QTemporaryDir bin, folder;
        const QString trip = folder.filePath("Trip.mp4");
        QVERIFY(QFile::copy(path("Trip.mp4"), trip));
        Fixture::write(bin.filePath("ffmpeg"),
                       "#!/bin/bash\nexec /usr/bin/ffmpeg \"${@:1:$#-1}\" -t 0.3 \"${@: -1}\"\n");
        QFile::setPermissions(bin.filePath("ffmpeg"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("TOLVANE_SEARCH_PATH", bin.path().toUtf8() + ":/usr/bin:/bin");
        const auto restore = qScopeGuard([] { qunsetenv("TOLVANE_SEARCH_PATH"); });
        const QList<std::tuple<QString, QString, std::function<void()>>> tools{
            {"Trip Trimmed.mp4", "2.0 s",
             [&] {
                 ToolOps::trimVideo(trip, {0.5, 2.5}, false, m_job, {});
             }},
            {"Trip Trimmed.mp4", "2.0 s",
             [&] {
                 ToolOps::trimVideo(trip, {0.5, 2.5}, true, m_job, {});
             }},
            {"Trip Clip 1.mp4", "1.5 s",
             [&] {
                 ToolOps::splitVideo(trip, {{0, 1.5}, {1.5, 3}}, false, m_job, {});
             }},
            {"Trip Joined.mp4", "6.0 s",
             [&] {
                 ToolOps::join({trip, trip}, m_job, {});
             }},
            {"Trip Cropped.mp4", "3.0 s",
             [&] { ToolOps::cropVideo(trip, QRectF(0, 0, 0.5, 0.5), m_job, {}); }},
            {"Trip Speed 2x.mp4", "1.5 s", [&] { ToolOps::speed(trip, 2, true, "2x", m_job, {}); }},
            {"Trip Redacted.mp4", "3.0 s",
             [&] {
                 ToolOps::redactVideo(trip, {QRectF(0, 0, 0.5, 0.5)}, RedactStyle::black, std::nullopt, m_job,
                                      {});
             }},
            // Smaller than its source, and still no result.
            {"Trip Compressed.mp4", "3.0 s",
             [&] { CompressWork::compressFile(trip, CompressWork::Kind::video, {}, m_job, {}); }}};
        for (const auto& [name, wanted, run] : tools) {
            const QString message = Fixture::failure(run).message();
            QVERIFY2(QRegularExpression(
                         QString("^%1 came out \\d\\.\\d s long instead of %2: ffmpeg stopped early$")
                             .arg(QRegularExpression::escape(name), wanted))
                         .match(message)
                         .hasMatch(),
                     qPrintable(message));
            QCOMPARE(Fixture::entries(folder.path()), QStringList{"Trip.mp4"});
        }
    }

    // A clip broken off halfway gives what it holds, and a note says so; a range before the
    // break needs none.
    void cutClipIsNoted()
    {
        QTemporaryDir folder;
        const QString whole = folder.filePath("Whole.mp4"), cut = folder.filePath("Cut.mp4");
        QVERIFY(makeTrip(whole, {"-movflags", "+faststart"}));
        QFile in(whole);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QVERIFY(Fixture::write(cut, in.read(in.size() * 2 / 3)));
        const QList<std::function<QStringList(Job&)>> tools{
            [&](Job& job) { return ToolOps::cropVideo(cut, QRectF(0, 0, 0.5, 0.5), job, {}); },
            [&](Job& job) {
                return ToolOps::splitVideo(cut, {{0, 1.5}, {1.5, 3}}, false, job, {});
            },
            [&](Job& job) {
                return ToolOps::join({whole, cut}, job, {});
            }};
        for (const auto& run : tools) {
            Job job({}, {}, 0);
            QCOMPARE(run(job).size(), 1);
            QVERIFY2(QRegularExpression("^Cut.mp4 is cut short: \\d\\.\\d s of 3\\.0 s made$")
                         .match(job.notes().join('|'))
                         .hasMatch(),
                     qPrintable(job.notes().join('|')));
        }
        Job job({}, {}, 0);
        const QString before = ToolOps::trimVideo(cut, {0.2, 1.2}, false, job, {}).value(0);
        QVERIFY(near(ffprobe(before).duration, 1.0));
        QCOMPARE(job.notes(), QStringList());
    }

    // A download broken off after 40 % of its bytes gives what it holds, with a note naming it: a
    // web film whose index at the front is whole, and Matroska and WebM films with sound, whose
    // tracks state their lengths in tags. ffmpeg stopping short of what the source holds fails.
    void cutDownloadsGiveWhatTheyHold()
    {
        QTemporaryDir folder, wholes;
        // A key frame each second, as a web film has: a seek near the end lands past the cut.
        const QStringList film{"-f",       "lavfi",   "-i", "testsrc2=s=64x48:r=25:d=7",
                               "-f",       "lavfi",   "-i", "sine=d=7",
                               "-pix_fmt", "yuv420p", "-g", "25"};
        const QList<std::pair<QString, QStringList>> kinds{
            {"Web.mp4", {"-c:v", "libx264", "-c:a", "aac", "-movflags", "+faststart"}},
            {"Film.mkv", {"-c:v", "libx264", "-c:a", "aac"}},
            {"Clip.webm",
             {"-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8", "-c:a", "libopus"}}};
        for (const auto& [name, codecs] : kinds) {
            QVERIFY(Fixture::ffmpeg(film + codecs + QStringList{wholes.filePath(name)}));
            QFile whole(wholes.filePath(name));
            QVERIFY(whole.open(QIODevice::ReadOnly));
            QVERIFY(Fixture::write(folder.filePath(name), whole.read(whole.size() * 4 / 10)));
            Job job({}, {}, 0);
            const QString trimmed =
                ToolOps::trimVideo(folder.filePath(name), {1, 6}, false, job, {}).value(0);
            QVERIFY2(QRegularExpression(QString("^%1 is cut short: [23]\\.\\d s of 7\\.0 s made$").arg(name))
                         .match(job.notes().join('|'))
                         .hasMatch(),
                     qPrintable(name + ": " + job.notes().join('|')));
            QVERIFY2(ffprobe(trimmed).duration > 1 && ffprobe(trimmed).duration < 2.5, qPrintable(name));
            QVERIFY(QFile::remove(trimmed));
        }

        QTemporaryDir bin;
        Fixture::write(bin.filePath("ffmpeg"),
                       "#!/bin/bash\nexec /usr/bin/ffmpeg \"${@:1:$#-1}\" -t 0.3 \"${@: -1}\"\n");
        QFile::setPermissions(bin.filePath("ffmpeg"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("TOLVANE_SEARCH_PATH", bin.path().toUtf8() + ":/usr/bin:/bin");
        const auto restore = qScopeGuard([] { qunsetenv("TOLVANE_SEARCH_PATH"); });
        for (const auto& [name, codecs] : kinds) {
            const QString message = Fixture::failure([&] {
                                        ToolOps::trimVideo(folder.filePath(name), {1, 6}, false, m_job, {});
                                    }).message();
            QVERIFY2(message.endsWith("came out 0.3 s long instead of 5.0 s: ffmpeg stopped early"),
                     qPrintable(message));
        }
        QCOMPARE(Fixture::entries(folder.path()), (QStringList{"Clip.webm", "Film.mkv", "Web.mp4"}));
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

QTEST_GUILESS_MAIN(VideoWorkTest)
#include "test_videowork.moc"
