// The steps the tool operations share, on files ffmpeg wrote.

#include "../../support/enginefixtures_a.h"
#include "core/job.h"
#include "engines/media/media.h"
#include "engines/media/toolrun.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

class ToolRunTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    // ffmpeg asked for a range past the end writes a file without a moment of sound and exits 0.
    void emptyResultIsRefused()
    {
        QVERIFY(
            Fixture::ffmpeg({"-f", "lavfi", "-i", "sine=f=300:d=4:r=48000", "-ac", "1", path("Talk.m4a")}));
        QVERIFY(Fixture::ffmpeg({"-i", path("Talk.m4a"), "-ss", "7", "-to", "9", path("empty.m4a")}));
        QVERIFY(QFileInfo(path("empty.m4a")).size() > 0);
        QVERIFY(Fixture::ffmpeg(
            {"-f", "lavfi", "-i", "sine", "-t", "0", path("empty.wav")})); // a stream, no sound
        for (const QString name : {"empty.m4a", "empty.wav"})
            QCOMPARE(Fixture::failure([&] { ToolRun::requireContent(path(name), "empty"); }).message(),
                     "empty");
        ToolRun::requireContent(path("Talk.m4a"), "empty");

        // The write that asks for the check fails with its message and commits nothing; without
        // the message the same run is kept.
        Job job{{}, {}, 0};
        const auto pastTheEnd = [&](const QString& temporary) {
            return QStringList{"-i", path("Talk.m4a"), "-ss", "7", "-to", "9", "-c:a", "aac", temporary};
        };
        QCOMPARE(Fixture::failure([&] {
                     ToolRun::write(
                         {path("Talk.m4a"), {7, 9}}, "Cut", job, [](double) {}, pastTheEnd, "past the end");
                 }).message(),
                 "past the end");
        QVERIFY(!QFileInfo::exists(path("Talk Cut.m4a")));
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).filter(".tolvane"), QStringList());
        QCOMPARE(ToolRun::write(
                     {path("Talk.m4a"), {7, 9}}, "Cut", job, [](double) {}, pastTheEnd),
                 QStringList{path("Talk Cut.m4a")});
    }

    // A result made by a stream copy is kept once its picture plays at its start and at its end:
    // a copy whose key frames were lost, or only its last one, gives no frame and is refused,
    // where a re-encoded result is only measured.
    void copiesMustPlay()
    {
        QVERIFY(
            Fixture::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=160x120:r=25:d=3", "-c:v", "libx264", "-preset",
                             "ultrafast", "-g", "25", "-pix_fmt", "yuv420p", path("Whole.mp4")}));
        QVERIFY(Fixture::ffmpeg({"-i", path("Whole.mp4"), "-c", "copy", "-bsf:v",
                                 "filter_units=remove_types=5", path("Keyless.mp4")}));
        // Every byte of the key frame at 2 s garbled; its packet stays where the index says.
        QVERIFY(Fixture::ffmpeg({"-i", path("Whole.mp4"), "-c", "copy", "-bsf:v",
                                 "noise=amount=key*gte(pts*tb\\,1.9)", path("Endless.mp4")}));
        Job job{{}, {}, 0};
        const ToolRun::Part copied{path("Whole.mp4"), {0, 3}, 1, true};
        ToolRun::requireLength(path("Whole.mp4"), "Whole Trimmed.mp4", {copied}, job);
        for (const QString name : {"Keyless", "Endless"})
            QCOMPARE(Fixture::failure([&] {
                         ToolRun::requireLength(path(name + ".mp4"), name + " Trimmed.mp4", {copied}, job);
                     }).message(),
                     name + " Trimmed.mp4 came out with a picture that can’t be played");
        ToolRun::requireLength(path("Keyless.mp4"), "Keyless Trimmed.mp4", {{path("Whole.mp4"), {0, 3}}},
                               job);
    }

    // A result that stops well before what it was made of fails, naming both lengths, and leaves
    // nothing; a source that itself ends before its header says gives what it holds, with a note
    // naming it, but not where the range lies before its cut.
    void shortResults()
    {
        QVERIFY(Fixture::ffmpeg({"-f", "lavfi", "-i", "sine=d=6", "-c:a", "flac", path("Whole.flac")}));
        QFile whole(path("Whole.flac"));
        QVERIFY(whole.open(QIODevice::ReadOnly));
        QVERIFY(Fixture::write(path("Cut.flac"), whole.read(whole.size() / 2)));
        const auto copy = [&](const QString& source, const QStringList& limit) {
            return [=](const QString& temporary) {
                return QStringList{"-i", source} + limit + QStringList{"-c:a", "flac", temporary};
            };
        };
        Job job{{}, {}, 0};
        const auto fails = [&](const ToolRun::Part& part, const QStringList& limit) {
            return Fixture::failure([&] { ToolRun::write(part, "Copy", job, {}, copy(part.source, limit)); })
                .message();
        };
        QCOMPARE(fails({path("Whole.flac"), {0, 6}}, {"-t", "1"}),
                 "Whole Copy.flac came out 1.0 s long instead of 6.0 s: ffmpeg stopped early");
        QCOMPARE(fails({path("Whole.flac"), {0, 6}, 0.5}, {}),
                 "Whole Copy.flac came out 6.0 s long instead of 12 s: ffmpeg stopped early");
        QCOMPARE(fails({path("Cut.flac"), {0.5, 2}}, {"-t", "0.2"}),
                 "Cut Copy.flac came out 0.2 s long instead of 1.5 s: ffmpeg stopped early");
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).filter("Copy"), QStringList());
        QCOMPARE(job.notes(), QStringList());

        const QStringList written =
            ToolRun::write({path("Cut.flac"), {0, 6}}, "Copy", job, {}, copy(path("Cut.flac"), {}));
        QCOMPARE(written, QStringList{path("Cut Copy.flac")});
        QVERIFY2(QRegularExpression("^Cut.flac is cut short: [23]\\.\\d s of 6\\.0 s made$")
                     .match(job.notes().join('|'))
                     .hasMatch(),
                 qPrintable(job.notes().join('|')));
    }

    // A result that lasts well beyond what it was made of, or whose picture or sound begins well
    // after its start, fails naming the file and leaves nothing. Frames a B-frame picture holds
    // back, sound priming that moves the picture of a 60 fps film by more than a frame, and a
    // source whose length is only guessed (a VBR MP3 without its table) are no such fault, and
    // the guess says nothing of the source being cut short.
    void longOrLateResults()
    {
        QVERIFY(Fixture::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=64x48:r=25:d=3", "-f", "lavfi", "-i",
                                 "sine=d=3", "-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac",
                                 path("Clip.mp4")}));
        QVERIFY(Fixture::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=64x48:r=25:d=8", "-f", "lavfi", "-i",
                                 "sine=d=8", "-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac",
                                 path("Long.mp4")}));
        QVERIFY(Fixture::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=64x48:r=60:d=2", "-f", "lavfi", "-i",
                                 "sine=d=2", "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p",
                                 "-c:a", "pcm_s16le", path("Sixty.mkv")}));
        // VBR MP3s without their table, whose stated length is guessed from their first frames.
        for (const auto& [name, sources] :
             {std::pair{"Falling.mp3", "anoisesrc=d=3[a];anullsrc=cl=mono:d=5[b]"},
              std::pair{"Rising.mp3", "anullsrc=cl=mono:d=2[a];anoisesrc=d=3[b]"}})
            QVERIFY(Fixture::ffmpeg({"-filter_complex", QString(sources) + ";[a][b]concat=n=2:v=0:a=1",
                                     "-c:a", "libmp3lame", "-q:a", "0", "-write_xing", "0", path(name)}));
        const double falling = Media::probeWithFfprobe(path("Falling.mp3")).duration;
        const double rising = Media::probeWithFfprobe(path("Rising.mp3")).duration;
        QVERIFY2(falling < 6 && rising > 8,
                 qPrintable(QString("%1 %2").arg(falling).arg(rising))); // 8 s, 5 s
        const struct
        {
            const char* source;
            TimeRange range;
            QStringList args; // between the source and the result
            const char* message;
        } rows[] = {
            {"Clip.mp4",
             {0, 1},
             {"-c", "copy"},
             "Clip Copy.mp4 came out 3.0 s long instead of 1.0 s: ffmpeg wrote more than was asked for"},
            // A tenth more than asked, past the half second every result may be off by.
            {"Long.mp4",
             {0, 6},
             {"-t", "7.5", "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"},
             "Long Copy.mp4 came out 7.5 s long instead of 6.0 s: ffmpeg wrote more than was asked for"},
            {"Clip.mp4",
             {0, 3},
             {"-c", "copy", "-output_ts_offset", "2"},
             "Clip Copy.mp4 came out with its picture starting 2.0 s late"},
            {"Clip.mp4",
             {0, 3},
             {"-itsoffset", "1.5", "-i", path("Clip.mp4"), "-map", "0:v", "-map", "1:a", "-c", "copy"},
             "Clip Copy.mp4 came out with its sound starting 1.5 s late"},
            {"Clip.mp4", {0, 3}, {"-c", "copy", "-avoid_negative_ts", "make_zero"}, ""},
            {"Sixty.mkv", {0, 2}, {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"}, ""},
            {"Falling.mp3", {0, falling}, {"-c", "copy"}, ""},
            {"Rising.mp3", {0, rising}, {"-c", "copy"}, ""},
        };
        for (const auto& r : rows) {
            QTemporaryDir folder;
            const QString source = folder.filePath(r.source);
            QVERIFY(QFile::copy(path(r.source), source));
            Job job{{}, {}, 0};
            const ConvertError e = Fixture::failure([&] {
                ToolRun::write({source, r.range}, "Copy", job, {}, [&](const QString& temporary) {
                    return QStringList{"-i", source} + r.args + QStringList{temporary};
                });
            });
            QCOMPARE(e.message(), QString(*r.message ? r.message : "(no failure)"));
            QCOMPARE(Fixture::entries(folder.path()).size(), *r.message ? 1 : 2);
            QCOMPARE(job.notes(), QStringList());
        }
    }

    // A stream copy begins at the key frame that holds the frame shown at its start: made from one
    // that starts a key-frame interval earlier it fails, and made with the seek that lands there it
    // passes, a Matroska film whose delayed frames make ffmpeg seek earlier than asked among them.
    void copyFromTheKeyFrameShown()
    {
        const QString film = path("Keys.mkv");
        QVERIFY(Fixture::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=64x48:r=25:d=12", "-c:v", "libx264", "-g",
                                 "50", "-sc_threshold", "0", "-bf", "2", "-pix_fmt", "yuv420p", film}));
        const TimeRange range{2.1, 12};
        const auto copy = [&](double seek) {
            return [=](const QString& temporary) {
                return QStringList{"-ss",
                                   QString::number(seek, 'f', 3),
                                   "-i",
                                   film,
                                   "-t",
                                   QString::number(range.end - seek, 'f', 3),
                                   "-c",
                                   "copy",
                                   "-avoid_negative_ts",
                                   "make_zero",
                                   temporary};
            };
        };
        Job job{{}, {}, 0};
        QCOMPARE(Fixture::failure([&] {
                     ToolRun::write({film, range, 1, true}, "Early", job, {}, copy(0.1));
                 }).message(),
                 "Keys Early.mkv came out 12 s long instead of 9.9 s: ffmpeg wrote more than was asked for");
        const TimeRange seek = ToolRun::frameRange(film, range, true);
        QVERIFY2(seek.start > 2.1 && seek.start < 2.3, qPrintable(QString::number(seek.start)));
        QCOMPARE(ToolRun::write({film, seek, 1, true}, "Copy", job, {}, copy(seek.start)),
                 QStringList{path("Keys Copy.mkv")});
        QVERIFY(!QFileInfo::exists(path("Keys Early.mkv")));
    }
};

QTEST_GUILESS_MAIN(ToolRunTest)
#include "test_toolrun.moc"
