// What marks a film's moments, its timecode and its chapters, read back with ffprobe from the
// results of the video tools and conversions: each names the result's own first frame, or the
// note says that the result left it out.

#include "../../support/enginefixtures_a.h"
#include "../../support/probedclip.h"
#include "../../support/timedclip.h"
#include "core/job.h"
#include "engines/converter.h"
#include "tools/audio/trim/trimaudiowork.h"
#include "tools/video/join/joinwork.h"
#include "tools/video/redact/redactvideowork.h"
#include "tools/video/speed/speedwork.h"
#include "tools/video/split/splitvideowork.h"
#include "tools/video/trim/trimvideowork.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

// The timecode of the first picture stream of `path`, as ffprobe reads its tags.
QString timecodeOf(const QString& path)
{
    const QJsonObject json =
        QJsonDocument::fromJson(
            TimedClip::output("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                          "stream_tags", "-of", "json", path}))
            .object();
    const QJsonObject tags = json["streams"].toArray().first().toObject()["tags"].toObject();
    for (auto t = tags.begin(); t != tags.end(); ++t)
        if (t.key().compare("timecode", Qt::CaseInsensitive) == 0) return t.value().toString();
    return {};
}

// "10:00:01:24" for frame 49 of a film at 25 frames a second whose timecode starts at 10:00:00:00.
QString tenOClock(int frame)
{
    return QStringLiteral("10:00:%1:%2")
        .arg(frame / 25, 2, 10, QChar('0'))
        .arg(frame % 25, 2, 10, QChar('0'));
}

} // namespace

class VideoMarksTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // A fresh folder of the test function's and row's own holding a copy of `source`; the copy's
    // path.
    QString copied(const QString& source)
    {
        const QString folder = path(QString::fromLatin1(QTest::currentTestFunction()) + ' ' +
                                    QString::fromLatin1(QTest::currentDataTag()));
        if (!QDir().mkpath(folder)) return {};
        const QString file = QDir(folder).filePath(source);
        return QFile::copy(path(source), file) ? file : QString();
    }

    // The chapters of `first` joined with the Matroska book; a refusal fails the test.
    QList<ProbedChapter> joinedWithBook(const QString& first, Job& job)
    {
        const QString second = QFileInfo(first).dir().filePath("Book.mkv");
        if (!QFile::copy(path("Book.mkv"), second)) {
            QTest::qFail("Book.mkv could not be copied", __FILE__, __LINE__);
            return {};
        }
        QString joined;
        const ConvertError e = Fixture::failure([&] {
            joined = ToolOps::join({first, second}, job, {}).value(0);
        });
        if (e.message() != "(no failure)") {
            QTest::qFail(qPrintable(e.description()), __FILE__, __LINE__);
            return {};
        }
        return probedChapters(joined);
    }

  private slots:
    void initTestCase()
    {
        // 8 s at 25 fps with a key frame each 2 s and B-frames, and four chapters of 2 s; a
        // Matroska copy; a sound of 5 s with two chapters, as an audiobook holds them.
        QVERIFY(Fixture::write(path("chapters.txt"),
                               ";FFMETADATA1\n"
                               "[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=2000\ntitle=Intro\n"
                               "[CHAPTER]\nTIMEBASE=1/1000\nSTART=2000\nEND=4000\ntitle=Setup\n"
                               "[CHAPTER]\nTIMEBASE=1/1000\nSTART=4000\nEND=6000\ntitle=Main\n"
                               "[CHAPTER]\nTIMEBASE=1/1000\nSTART=6000\nEND=8000\ntitle=End\n"));
        QVERIFY(TimedClip::make(path("plain.mp4"), 8, "25", 0.0,
                                {"-c:v", "libx264", "-g", "50", "-sc_threshold", "0", "-bf", "2",
                                 "-x264-params", "b-adapt=0", "-c:a", "aac"}));
        for (const QString ext : {"mp4", "mkv"})
            QVERIFY(Fixture::ffmpeg({"-i", path("plain.mp4"), "-i", path("chapters.txt"), "-map", "0",
                                     "-map_chapters", "1", "-c", "copy", path("Book." + ext)}));
        QVERIFY(Fixture::ffmpeg({"-f", "lavfi", "-i", "sine=d=5", "-i", path("chapters.txt"), "-map", "0",
                                 "-map_chapters", "1", "-c:a", "aac", path("Book.m4a")}));

        // 4 s at 25 fps with a key frame each second and the timecode 10:00:00:00; a camera's
        // 29.97 fps film whose drop-frame timecode starts two frames before a minute turns.
        QVERIFY(TimedClip::make(path("Clock.mov"), 4, "25", 0.0,
                                {"-c:v", "libx264", "-g", "25", "-c:a", "aac", "-timecode", "10:00:00:00"}));
        QVERIFY(TimedClip::make(path("Camera.mov"), 2, "30000/1001", 0.0,
                                {"-c:v", "libx264", "-c:a", "aac", "-timecode", "01:00:59;28"}));
        QCOMPARE(timecodeOf(path("Clock.mov")), "10:00:00:00");
        QCOMPARE(timecodeOf(path("Camera.mov")), "01:00:59;28");
    }

    // A cut, fast or not, names its first frame, which the picture shows; so does each clip of a
    // split; a speed change begins with the source's first frame; a container that holds a
    // timecode keeps it. Redact and the containers that can't hold one say that they left it out.
    void timecodeNamesTheFirstFrame_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("timecode"); // empty: the first frame's, read from its picture
        QTest::addColumn<QString>("note");
        const auto row = [](const char* name, const char* source, const char* operation, const char* timecode,
                            const char* note = "") {
            QTest::newRow(name) << QString(source) << QString(operation) << QString(timecode)
                                << QString(note);
        };
        row("trim", "Clock.mov", "trim", "10:00:01:24");
        row("fast trim", "Clock.mov", "fast trim", "");
        row("split", "Clock.mov", "split", "10:00:01:24");
        row("fast split", "Clock.mov", "fast split", "");
        // Ten frames on: 59;29, then 00;02 (00 and 01 are dropped) up to 00;10.
        row("drop-frame trim", "Camera.mov", "ten frames", "01:01:00;10");
        row("speed", "Clock.mov", "speed", "10:00:00:00");
        row("mkv", "Clock.mov", "mkv", "10:00:00:00");
        row("redact", "Clock.mov", "redact", "",
            "The timecode was left out: it may tell when the film was recorded");
        row("avi", "Clock.mov", "avi", "", "The timecode was left out: AVI files can’t hold it");
        row("wmv", "Clock.mov", "wmv", "", "The timecode was left out: WMV files can’t hold it");
        row("gif", "Clock.mov", "gif", "", "The timecode was left out: GIF files can’t hold it");
    }

    void timecodeNamesTheFirstFrame()
    {
        QFETCH(QString, source);
        QFETCH(QString, operation);
        QFETCH(QString, timecode);
        QFETCH(QString, note);
        const QString file = copied(source);
        QVERIFY(!file.isEmpty());
        Job job({}, {}, 0);
        QStringList made;
        const ConvertError e = Fixture::failure([&] {
            if (operation == "trim") made = ToolOps::trimVideo(file, {1.97, 3.5}, false, job, {});
            if (operation == "fast trim") made = ToolOps::trimVideo(file, {1.97, 3.5}, true, job, {});
            if (operation == "ten frames")
                made = ToolOps::trimVideo(file, {10.2 / 29.97, 1.5}, false, job, {});
            if (operation.endsWith("split")) {
                const QString clips =
                    ToolOps::splitVideo(file, {{0, 1.97}, {1.97, 4}}, operation.startsWith("fast"), job, {})
                        .value(0);
                for (const QString& clip : Fixture::entries(clips))
                    made << QDir(clips).filePath(clip);
            }
            if (operation == "speed") made = ToolOps::speed(file, 2, true, "2x", job, {});
            if (operation == "redact")
                made = ToolOps::redactVideo(file, {{0.1, 0.1, 0.3, 0.3}}, RedactStyle::black, {}, job, {});
            if (made.isEmpty()) made = Converter::convert(file, operation, job, {});
        });
        QVERIFY2(e.message() == "(no failure)", qPrintable(e.description()));
        QVERIFY(!made.isEmpty());
        if (operation.endsWith("split")) {
            // The first clip starts where the film does.
            QCOMPARE(timecodeOf(made.takeFirst()), "10:00:00:00");
        }
        const QString result = made.first();
        if (timecode.isEmpty() && note.isEmpty())
            timecode = tenOClock(TimedClip::read(result).frames.value(0).number);
        QCOMPARE(timecodeOf(result), timecode);
        QCOMPARE(job.notes().filter("timecode"), note.isEmpty() ? QStringList() : QStringList{note});
    }

    // Every chapter of a cut begins with the frame that began it in the source, a fast cut's too,
    // which shows the key frame before its start first; one that began before the cut begins with
    // it. Each clip of a split holds its own.
    void chaptersBeginWithTheirFrame_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("fast");
        QTest::addColumn<QList<TimeRange>>("parts"); // one: a trim; more: a split
        QTest::addColumn<QStringList>("titles");     // of every result, one after the other
        QTest::newRow("mp4 fast") << "Book.mp4" << true << QList<TimeRange>{{2.3, 5.7}}
                                  << QStringList{"Setup", "Main"};
        QTest::newRow("mkv fast") << "Book.mkv" << true << QList<TimeRange>{{2.05, 6}}
                                  << QStringList{"Setup", "Main"};
        QTest::newRow("mp4") << "Book.mp4" << false << QList<TimeRange>{{2.3, 5.7}}
                             << QStringList{"Setup", "Main"};
        QTest::newRow("mkv fast split") << "Book.mkv" << true << QList<TimeRange>{{0, 3}, {3, 8}}
                                        << QStringList{"Intro", "Setup", "Setup", "Main", "End"};
    }
    void chaptersBeginWithTheirFrame()
    {
        QFETCH(QString, source);
        QFETCH(bool, fast);
        QFETCH(QList<TimeRange>, parts);
        QFETCH(QStringList, titles);
        const QString file = copied(source);
        QVERIFY(!file.isEmpty());
        Job job({}, {}, 0);
        QStringList made;
        const ConvertError e = Fixture::failure([&] {
            if (parts.size() == 1) {
                made = ToolOps::trimVideo(file, parts.first(), fast, job, {});
                return;
            }
            const QString clips = ToolOps::splitVideo(file, parts, fast, job, {}).value(0);
            for (const QString& clip : Fixture::entries(clips))
                made << QDir(clips).filePath(clip);
        });
        QVERIFY2(e.message() == "(no failure)", qPrintable(e.description()));
        const TimedClip::Timeline from = TimedClip::read(file);
        const QList<ProbedChapter> original = probedChapters(file);
        QStringList got;
        for (const QString& result : made) {
            const TimedClip::Timeline shown = TimedClip::read(result);
            const int first = shown.frames.value(0).number;
            for (const ProbedChapter& c : probedChapters(result)) {
                got << c.title;
                const auto in = std::find_if(original.begin(), original.end(),
                                             [&](const ProbedChapter& o) { return o.title == c.title; });
                QVERIFY(in != original.end());
                // The frame the chapter began with, or the result's first for one begun before it.
                const int wanted = std::max(first, from.shownAt(in->start)->number);
                const int at = shown.shownAt(c.start + 0.001)->number;
                QVERIFY2(at == wanted, qPrintable(QStringLiteral("%1 at %2 s shows frame %3, not %4")
                                                      .arg(c.title)
                                                      .arg(c.start)
                                                      .arg(at)
                                                      .arg(wanted)));
            }
        }
        QCOMPARE(got, titles);
    }

    // A join holds every clip's chapters, each after the clips before it.
    void joinKeepsEveryClipsChapters()
    {
        const QString first = copied("Book.mp4");
        Job job({}, {}, 0);
        const QList<ProbedChapter> chapters = joinedWithBook(first, job);
        if (QTest::currentTestFailed()) return;
        QStringList titles;
        for (const ProbedChapter& c : chapters)
            titles << c.title;
        QCOMPARE(titles, (QStringList{"Intro", "Setup", "Main", "End", "Intro", "Setup", "Main", "End"}));
        const double length = ffprobe(first).duration;
        for (int i = 0; i < 4; ++i)
            QVERIFY2(near(chapters[i + 4].start, chapters[i].start + length, 0.05),
                     qPrintable(QString::number(chapters[i + 4].start)));
        QCOMPARE(job.notes(), QStringList());
    }

    // A clip without chapters before one with them: an MP4 file's chapters run from its start, so
    // the first clip is held by a chapter without a title, and the second's begin where it does.
    void joinAfterAClipWithoutChapters()
    {
        const QString first = copied("plain.mp4");
        Job job({}, {}, 0);
        const QList<ProbedChapter> chapters = joinedWithBook(first, job);
        if (QTest::currentTestFailed()) return;
        QStringList titles;
        for (const ProbedChapter& c : chapters)
            titles << c.title;
        QCOMPARE(titles, (QStringList{"", "Intro", "Setup", "Main", "End"}));
        const double length = ffprobe(first).duration;
        QVERIFY2(near(chapters[0].start, 0, 0.002) && near(chapters[0].end, length, 0.05),
                 qPrintable(QString::number(chapters[0].end)));
        for (int i = 1; i < 5; ++i)
            QVERIFY2(near(chapters[i].start, length + 2 * (i - 1), 0.05),
                     qPrintable(QString::number(chapters[i].start)));
    }

    // A trimmed audiobook keeps the chapters that reach into the cut, timed from it.
    void trimmedSoundKeepsItsChapters()
    {
        const QString book = copied("Book.m4a");
        Job job({}, {}, 0);
        const QString trimmed = ToolOps::trimAudio(book, 2.5, 4.5, job, {}).value(0);
        const QList<ProbedChapter> chapters = probedChapters(trimmed);
        QCOMPARE(chapters.size(), 2);
        QCOMPARE(chapters[0].title, "Setup");
        QVERIFY(near(chapters[0].start, 0, 0.002) && near(chapters[0].end, 1.5, 0.002));
        QCOMPARE(chapters[1].title, "Main");
        QVERIFY(near(chapters[1].start, 1.5, 0.002) && near(chapters[1].end, 2, 0.002));
    }

    // A conversion into a kind of file that ffmpeg writes no chapters into says that it left them
    // out; one into a kind that holds them keeps them without a word.
    void conversionsNameChaptersLeftOut_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("note"); // empty: the chapters are kept
        QTest::newRow("avi") << "Book.mp4"
                             << "avi"
                             << "AVI";
        QTest::newRow("gif") << "Book.mp4"
                             << "gif"
                             << "GIF";
        QTest::newRow("mkv") << "Book.mp4"
                             << "mkv"
                             << "";
        for (const char* target : {"wav", "flac", "ogg"})
            QTest::newRow(target) << "Book.m4a" << target << QString(target).toUpper();
        // An AIFF's ID3 chunk holds chapters, as an MP3's tags do.
        for (const char* target : {"mp3", "aiff"})
            QTest::newRow(target) << "Book.m4a" << target << QString();
    }
    void conversionsNameChaptersLeftOut()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(QString, note);
        const QString file = copied(source);
        Job job({}, {}, 0);
        const QString result = Converter::convert(file, target, job, {}).value(0);
        QVERIFY(QFileInfo::exists(result));
        const QStringList said = job.notes().filter("chapters");
        if (note.isEmpty()) {
            QCOMPARE(said, QStringList());
            QCOMPARE(probedChapters(result).size(), probedChapters(file).size());
        } else {
            QCOMPARE(said,
                     QStringList{
                         QStringLiteral("The chapters were left out: %1 files written here can’t hold them")
                             .arg(note)});
            QCOMPARE(probedChapters(result).size(), 0);
        }
    }
};

QTEST_GUILESS_MAIN(VideoMarksTest)
#include "test_videomarks.moc"
