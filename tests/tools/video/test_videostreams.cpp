// Every video tool's work keeps the sound tracks and subtitles of a two-language film, with the
// subtitles cut, retimed or joined the way the picture is.

#include "../../support/enginefixtures_a.h"
#include "../../support/probedclip.h"
#include "core/job.h"
#include "engines/instant/instanttools.h"
#include "engines/media/subtitlecues.h"
#include "tools/video/crop/cropvideowork.h"
#include "tools/video/join/joinwork.h"
#include "tools/video/redact/redactvideowork.h"
#include "tools/video/speed/speedwork.h"
#include "tools/video/split/splitvideowork.h"
#include "tools/video/trim/trimvideowork.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <optional>
#include <utility>

namespace {

struct Streams
{
    QStringList sound;             // the languages of the sound tracks
    QStringList subtitles;         // codec:language of each subtitle track
    QList<SubtitleCues::Cue> cues; // of the first subtitle track, from the picture's start
};

// The cues of the first subtitle track, timed from the file's start as a split counts.
QList<SubtitleCues::Cue> cuesOf(const QString& path)
{
    QProcess f;
    f.start("ffmpeg", {"-v", "error", "-i", path, "-map", "0:s:0?", "-f", "srt", "-"});
    f.waitForFinished(60000);
    return SubtitleCues::parse(QString::fromUtf8(f.readAllStandardOutput()));
}

Streams read(const QString& path)
{
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-print_format", "json", "-show_streams", path});
    p.waitForFinished(60000);
    Streams out;
    // A re-encoded picture may start a little late (the encoder's delay, which a container
    // shifts every stream by): cues count from the picture, as a viewer sees them.
    std::optional<double> picture;
    for (const QJsonValue& v :
         QJsonDocument::fromJson(p.readAllStandardOutput()).object()["streams"].toArray()) {
        const QJsonObject s = v.toObject();
        const QString language = s["tags"].toObject()["language"].toString();
        if (s["codec_type"] == "audio") out.sound << language;
        if (s["codec_type"] == "subtitle") out.subtitles << s["codec_name"].toString() + ":" + language;
        if (s["codec_type"] == "video" && !picture) picture = s["start_time"].toString().toDouble();
    }
    out.cues = cuesOf(path);
    for (SubtitleCues::Cue& cue : out.cues) {
        cue.start -= picture.value_or(0);
        cue.end -= picture.value_or(0);
    }
    return out;
}

// What `path` carries besides its picture and sound: "cover 32x32" for each cover picture,
// "font Font.ttf" for each attached font, and "picture" when its own picture is there.
QStringList carried(const QString& path)
{
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-print_format", "json", "-show_streams", path});
    p.waitForFinished(60000);
    QStringList out;
    for (const QJsonValue& v :
         QJsonDocument::fromJson(p.readAllStandardOutput()).object()["streams"].toArray()) {
        const QJsonObject s = v.toObject();
        const QJsonObject tags = s["tags"].toObject();
        if (s["disposition"].toObject()["attached_pic"].toInt() == 1)
            out << QStringLiteral("cover %1x%2").arg(s["width"].toInt()).arg(s["height"].toInt());
        else if (s["codec_type"] == "video")
            out << "picture";
        else if (s["codec_type"] == "attachment" && tags["mimetype"].toString().contains("font"))
            out << "font " + tags["filename"].toString();
    }
    out.sort();
    return out;
}

} // namespace

class VideoStreamsTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase()
    {
        // 2 s at 25 fps with a key frame every 0.4 s, an English and a German sound track and
        // English subtitles: "First" 0.2–0.7, "Second" 0.9–1.4, "Third" 1.5–1.9.
        QVERIFY(Fixture::write(path("film.srt"), "1\n00:00:00,200 --> 00:00:00,700\nFirst\n\n"
                                                 "2\n00:00:00,900 --> 00:00:01,400\nSecond\n\n"
                                                 "3\n00:00:01,500 --> 00:00:01,900\nThird\n\n"));
        const QStringList sources{"-f",
                                  "lavfi",
                                  "-i",
                                  "testsrc2=s=160x120:r=25:d=2",
                                  "-f",
                                  "lavfi",
                                  "-i",
                                  "sine=f=440:d=2",
                                  "-f",
                                  "lavfi",
                                  "-i",
                                  "sine=f=660:d=2",
                                  "-i",
                                  path("film.srt"),
                                  "-map",
                                  "0",
                                  "-map",
                                  "1",
                                  "-map",
                                  "2",
                                  "-map",
                                  "3",
                                  "-c:v",
                                  "libx264",
                                  "-preset",
                                  "ultrafast",
                                  "-g",
                                  "10",
                                  "-pix_fmt",
                                  "yuv420p",
                                  "-c:a",
                                  "aac",
                                  "-metadata:s:a:0",
                                  "language=eng",
                                  "-metadata:s:a:1",
                                  "language=deu",
                                  "-metadata:s:s:0",
                                  "language=eng",
                                  "-metadata:s:s:0",
                                  "title=English"};
        QVERIFY(Fixture::ffmpeg(sources + QStringList{"-c:s", "srt", path("Film.mkv")}));
        QVERIFY(Fixture::ffmpeg(sources + QStringList{"-c:s", "mov_text", path("Film.mp4")}));
    }

    // Each operation's result: both sound tracks, the subtitles in the container's own form, and
    // the first cue where the operation puts it.
    void everyOperationKeepsTheStreams_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("subtitles");
        QTest::addColumn<int>("cues");
        QTest::addColumn<QString>("firstText");
        QTest::addColumn<double>("firstStart");
        QTest::addColumn<double>("firstEnd");
        QTest::addColumn<double>("lastEnd");
        const auto add = [](const char* name, const char* source, const char* operation,
                            const char* subtitles, int cues, const char* text, double start, double end,
                            double lastEnd) {
            QTest::newRow(name) << QString(source) << QString(operation) << QString(subtitles) << cues
                                << QString(text) << start << end << lastEnd;
        };
        // Cut at 0.8 and 1.6: "First" goes, "Second" starts 0.1 in, "Third" is cut at the end.
        // The columns: the first cue's text, start and end, and the last cue's end.
        add("trim", "Film.mkv", "trim", "subrip:eng", 2, "Second", 0.1, 0.6, 0.8);
        add("trim mp4", "Film.mp4", "trim", "mov_text:eng", 2, "Second", 0.1, 0.6, 0.8);
        // From 0.85 the copy starts at the key frame at 0.8, which it shows, and its cues are cut
        // at the end like the picture.
        add("trim fast", "Film.mkv", "fast", "subrip:eng", 2, "Second", 0.1, 0.6, 0.8);
        add("trim fast mp4", "Film.mp4", "fast", "mov_text:eng", 2, "Second", 0.1, 0.6, 0.8);
        // The second of the parts 0–1 and 1–2: "Second" runs on from its start.
        add("split", "Film.mkv", "split", "subrip:eng", 2, "Second", 0.0, 0.4, 0.9);
        // A part that begins with the frame where "Second" ends doesn't flash its last moment.
        add("split at a cue's end", "Film.mkv", "split late", "subrip:eng", 1, "Third", 0.1, 0.5, 0.5);
        add("crop", "Film.mkv", "crop", "subrip:eng", 3, "First", 0.2, 0.7, 1.9);
        add("crop mp4", "Film.mp4", "crop", "mov_text:eng", 3, "First", 0.2, 0.7, 1.9);
        add("redact", "Film.mkv", "redact", "subrip:eng", 3, "First", 0.2, 0.7, 1.9);
        add("speed", "Film.mkv", "speed", "subrip:eng", 3, "First", 0.1, 0.35, 0.95);
        add("speed mp4", "Film.mp4", "speed", "mov_text:eng", 3, "First", 0.1, 0.35, 0.95);
        // Removing the sound keeps the subtitles.
        add("mute", "Film.mkv", "mute", "subrip:eng", 3, "First", 0.2, 0.7, 1.9);
        add("mute mp4", "Film.mp4", "mute", "mov_text:eng", 3, "First", 0.2, 0.7, 1.9);
        // Twice the film: six cues, the fourth "First" again 2 s on.
        add("join", "Film.mkv", "join", "mov_text:eng", 6, "First", 0.2, 0.7, 3.9);
    }

    void everyOperationKeepsTheStreams()
    {
        QFETCH(QString, source);
        QFETCH(QString, operation);
        const QString file = path(source);
        const double secondEnds = cuesOf(file).value(1).end;
        Job job({}, {}, 0);
        QString result;
        if (operation == "trim")
            result = ToolOps::trimVideo(file, {0.8, 1.6}, false, job, {}).value(0);
        else if (operation == "fast")
            result = ToolOps::trimVideo(file, {0.85, 1.6}, true, job, {}).value(0);
        else if (operation == "split")
            result = QDir(ToolOps::splitVideo(file, {{0, 1}, {1, 2}}, false, job, {}).value(0))
                         .filePath("Film Clip 2." + QFileInfo(file).suffix());
        else if (operation == "split late") // where "Second" ends, a frame starts
            result = QDir(ToolOps::splitVideo(file, {{0, secondEnds + 0.005}, {secondEnds + 0.005, 2}}, false,
                                              job, {})
                              .value(0))
                         .filePath("Film Clip 2." + QFileInfo(file).suffix());
        else if (operation == "crop")
            result = ToolOps::cropVideo(file, {0.25, 0.25, 0.5, 0.5}, job, {}).value(0);
        else if (operation == "redact")
            result =
                ToolOps::redactVideo(file, {{0.1, 0.1, 0.3, 0.3}}, RedactStyle::black, {}, job, {}).value(0);
        else if (operation == "speed")
            result = ToolOps::speed(file, 2, true, "2x", job, {}).value(0);
        else if (operation == "mute")
            result = InstantTools::mute(file, job, {}).value(0);
        else
            result = ToolOps::join({file, file}, job, {}).value(0);
        QVERIFY2(QFileInfo::exists(result), qPrintable(result));

        const Streams got = read(result);
        QCOMPARE(got.sound, (operation == "mute" ? QStringList{} : QStringList{"eng", "deu"}));
        QTEST(got.subtitles.value(0), "subtitles");
        QCOMPARE(got.subtitles.size(), 1);
        QTEST(int(got.cues.size()), "cues");
        QTEST(got.cues.first().text, "firstText");
        QFETCH(double, firstStart);
        QFETCH(double, firstEnd);
        QVERIFY2(qAbs(got.cues.first().start - firstStart) < 0.06,
                 qPrintable(QString::number(got.cues.first().start)));
        if (operation != "fast")
            QVERIFY2(qAbs(got.cues.first().end - firstEnd) < 0.06,
                     qPrintable(QString::number(got.cues.first().end)));
        QFETCH(double, lastEnd);
        QVERIFY2(qAbs(got.cues.last().end - lastEnd) < 0.06,
                 qPrintable(QString::number(got.cues.last().end)));
        if (operation == "join") QVERIFY(qAbs(got.cues[3].start - 2.2) < 0.1);
        // Nothing runs on past the picture's end.
        if (operation == "fast")
            QVERIFY2(ffprobe(result).duration < 0.9, qPrintable(QString::number(ffprobe(result).duration)));
        QVERIFY(job.notes().isEmpty());
    }

    // Every cut, crop and speed change keeps an MP4 film's cover picture and a Matroska film's
    // attached font beside its own picture, by stream copy or re-encoded. A QuickTime result,
    // which ffmpeg writes without its cover, says that it left it out.
    void coversAndFontsAreKept_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("mp4 cover") << "Covered.mp4" << QStringList{"cover 32x32", "picture"};
        QTest::newRow("mov cover") << "Covered.mov" << QStringList{"picture"};
        QTest::newRow("mkv font") << "Fonts.mkv" << QStringList{"font Font.ttf", "picture"};
    }
    void coversAndFontsAreKept()
    {
        if (!QFile::exists(path("Fonts.mkv"))) {
            QVERIFY(Fixture::ffmpeg(
                {"-f", "lavfi", "-i", "color=c=red:s=32x32", "-frames:v", "1", path("cover.png")}));
            QVERIFY(Fixture::write(path("Font.ttf"), QByteArray("\0\1\0\0 a font of no glyphs", 25)));
            const QStringList film{"-f", "lavfi", "-i", "testsrc2=s=160x90:r=25:d=2",
                                   "-f", "lavfi", "-i", "sine=d=2"};
            const QStringList encode{"-c:v:0", "libx264",  "-preset", "ultrafast", "-g",
                                     "10",     "-pix_fmt", "yuv420p", "-c:a",      "aac"};
            QVERIFY(Fixture::ffmpeg(
                film + QStringList{"-i", path("cover.png"), "-map", "0", "-map", "1", "-map", "2"} + encode +
                QStringList{"-c:v:1", "png", "-disposition:v:1", "attached_pic", path("Covered.mp4")}));
            // ffmpeg writes no cover into a QuickTime file; the MP4 file named .mov reads the same.
            QVERIFY(QFile::copy(path("Covered.mp4"), path("Covered.mov")));
            QVERIFY(Fixture::ffmpeg(film + QStringList{"-map", "0", "-map", "1"} + encode +
                                    QStringList{"-attach", path("Font.ttf"), "-metadata:s:t",
                                                "mimetype=application/x-truetype-font", path("Fonts.mkv")}));
        }
        QFETCH(QString, name);
        QFETCH(QStringList, expected);
        const QString file = path(name);
        const QStringList withCover{"cover 32x32", "picture"};
        QCOMPARE(carried(file), name.endsWith("mov") ? withCover : expected);
        Job job({}, {}, 0);
        const QList<std::pair<const char*, std::function<QString()>>> operations{
            {"trim",
             [&] {
                 return ToolOps::trimVideo(file, {0.85, 1.6}, false, job, {}).value(0);
             }},
            {"fast trim",
             [&] {
                 return ToolOps::trimVideo(file, {0.85, 1.6}, true, job, {}).value(0);
             }},
            {"split",
             [&] {
                 return QDir(ToolOps::splitVideo(file, {{0, 1}, {1, 2}}, false, job, {}).value(0))
                     .filePath(QFileInfo(file).completeBaseName() + " Clip 2." + QFileInfo(file).suffix());
             }},
            {"fast split",
             [&] {
                 return QDir(ToolOps::splitVideo(file, {{0, 1}, {1, 2}}, true, job, {}).value(0))
                     .filePath(QFileInfo(file).completeBaseName() + " Clip 2." + QFileInfo(file).suffix());
             }},
            {"crop",
             [&] {
                 return ToolOps::cropVideo(file, {0.25, 0.25, 0.5, 0.5}, job, {}).value(0);
             }},
            {"speed", [&] { return ToolOps::speed(file, 2, true, "2x", job, {}).value(0); }},
        };
        for (const auto& [operation, run] : operations) {
            const QString row = QStringLiteral("%1 of %2").arg(operation, name);
            QString result;
            try {
                result = run();
            } catch (const ConvertError& e) {
                QFAIL(qPrintable(row + ": " + e.message() + " " + e.details()));
            }
            QVERIFY2(QFileInfo::exists(result), qPrintable(row));
            QVERIFY2(carried(result) == expected, qPrintable(row + ": " + carried(result).join(", ")));
        }
        const QStringList notes = job.notes();
        if (name.endsWith("mov"))
            QCOMPARE(notes.filter("The cover picture was left out").size(), int(operations.size()));
        else
            QVERIFY2(notes.isEmpty(), qPrintable(notes.join('\n')));
    }
};

QTEST_GUILESS_MAIN(VideoStreamsTest)
#include "test_videostreams.moc"
