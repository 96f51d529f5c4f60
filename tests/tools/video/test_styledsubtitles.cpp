// A film's styled (ASS) subtitles stay styled through every cut and speed change: the same
// styles, the positions of their signs and the forced flag, their cues where the picture puts
// them. A result that can hold only plain text says what the subtitles lost.

#include "../../support/enginefixtures_a.h"
#include "../../support/streamjudge.h"
#include "core/job.h"
#include "tools/video/speed/speedwork.h"
#include "tools/video/split/splitvideowork.h"
#include "tools/video/trim/trimvideowork.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const char* script = R"([Script Info]
ScriptType: v4.00+
PlayResX: 160
PlayResY: 120

[V4+ Styles]
Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding
Style: Default,Arial,20,&H00FFFFFF,&H000000FF,&H00000000,&H00000000,0,0,0,0,100,100,0,0,1,1,0,2,10,10,10,1
Style: Sign,Arial,14,&H0000FFFF,&H000000FF,&H00000000,&H00000000,1,0,0,0,100,100,0,0,1,1,0,8,10,10,10,1

[Events]
Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text
Dialogue: 0,0:00:00.50,0:00:01.50,Default,,0,0,0,,Wait, who's there?
Dialogue: 1,0:00:02.50,0:00:03.50,Sign,,0,0,0,,{\pos(40,20)}EXIT
)";

// Events whose override tags hold times of their own: a fade, a movement, a transform and karaoke
// syllables; a fade of opacities and a transform done by 0.4 s; a movement done by 0.8 s and a
// fade with one number, which is no fade.
const char* timedScript = R"([Script Info]
ScriptType: v4.00+
PlayResX: 160
PlayResY: 120

[V4+ Styles]
Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding
Style: Default,Arial,20,&H00FFFFFF,&H000000FF,&H00000000,&H00000000,0,0,0,0,100,100,0,0,1,1,0,2,10,10,10,1

[Events]
Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text
Dialogue: 0,0:00:00.50,0:00:03.50,Default,,0,0,0,,{\fad(500,500)\move(10,10,110,110,0,2000)\t(0,1000,\frz90)}{\k50}Go {\kf100}on {\ko50}now{\K20}!
Dialogue: 0,0:00:00.00,0:00:04.00,Default,,0,0,0,,{\pos(80,60)\fade(255,0,128,0,200,1500,2500)\t(100,400,\fscx150)}Sign
Dialogue: 0,0:00:00.00,0:00:04.00,Default,,0,0,0,,{\move(0,0,100,50,0,800)\fad(300)}Moving
)";

struct Event
{
    double start = 0, end = 0;
    QString rest; // the Dialogue line after its times
};

// The Dialogue lines of an ASS text, by their own reading.
QList<Event> events(const QString& ass)
{
    static const QRegularExpression line(
        R"(^Dialogue: \d+,(\d+):(\d\d):(\d\d\.\d\d),(\d+):(\d\d):(\d\d\.\d\d),(.*)$)",
        QRegularExpression::MultilineOption);
    QList<Event> out;
    for (auto it = line.globalMatch(ass); it.hasNext();) {
        const auto m = it.next();
        const auto at = [&](int i) {
            return m.captured(i).toDouble() * 3600 + m.captured(i + 1).toDouble() * 60 +
                   m.captured(i + 2).toDouble();
        };
        out << Event{at(1), at(4), m.captured(7).trimmed()};
    }
    return out;
}

// Whether two texts say the same but for numbers at most `margin` apart.
bool alike(const QString& a, const QString& b, double margin)
{
    static const QRegularExpression number(R"(\d+(?:\.\d+)?)");
    QString shapeA = a, shapeB = b;
    shapeA.replace(number, "#");
    shapeB.replace(number, "#");
    if (shapeA != shapeB) return false;
    for (auto x = number.globalMatch(a), y = number.globalMatch(b); x.hasNext() && y.hasNext();)
        if (qAbs(x.next().captured().toDouble() - y.next().captured().toDouble()) > margin) return false;
    return true;
}

} // namespace

class StyledSubtitlesTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase()
    {
        // 4 s at 25 fps with a key frame every second, and forced English signs.
        QVERIFY(Fixture::write(path("signs.ass"), script));
        QVERIFY(Judge::make(
            m_dir.path(),
            "-f lavfi -i testsrc2=s=160x120:r=25:d=4 -f lavfi -i sine=d=4 -i @signs.ass -map 0 -map 1 "
            "-map 2 -c:v libx264 -preset ultrafast -g 25 -pix_fmt yuv420p -c:a aac -c:s copy "
            "-disposition:s:0 forced -metadata:s:s:0 language=eng -metadata:s:s:0 title=Signs",
            "Film.mkv"));
        QVERIFY(Fixture::write(path("timed.ass"), timedScript));
        QVERIFY(
            Judge::make(m_dir.path(),
                        "-f lavfi -i testsrc2=s=160x120:r=25:d=4 -i @timed.ass -map 0 -map 1 -c:v libx264 "
                        "-preset ultrafast -g 25 -pix_fmt yuv420p -c:s copy",
                        "Timed.mkv"));
        // The same film from mkvmerge, with the events' fields in another order: mkvmerge stores
        // them in its own, which ffmpeg gives back under the script's Format line.
        QString reordered =
            QString(script).replace("Format: Layer, Start, End,", "Format: Start, End, Layer,");
        reordered.replace(
            QRegularExpression(R"(^Dialogue: (\d+),([^,]+),([^,]+),)", QRegularExpression::MultilineOption),
            "Dialogue: \\2,\\3,\\1,");
        QVERIFY(Fixture::write(path("reordered.ass"), reordered.toUtf8()));
        QCOMPARE(QProcess::execute("mkvmerge", {"-q", "-o", path("Reordered.mkv"), "-S", path("Film.mkv"),
                                                "--language", "0:eng", "--track-name", "0:Signs",
                                                "--forced-display-flag", "0:1", path("reordered.ass")}),
                 0);
    }

    // Each cut and speed change: one ASS track, forced, tagged, with both styles and the sign
    // where it was on the picture, at the time the picture shows it.
    void cutsAndSpeedsKeepTheStyles_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("events");
        QTest::addColumn<double>("signStart"); // seconds into the result
        QTest::addColumn<double>("signEnd");
        QTest::newRow("trim 1–4") << "trim"
                                  << "Film.mkv" << 2 << 1.5 << 2.5;
        // The copy begins at the key frame at 2 s, which it shows.
        QTest::newRow("fast trim 2.5–4") << "fast"
                                         << "Film.mkv" << 1 << 0.5 << 1.5;
        QTest::newRow("split, the clip 2–4") << "split"
                                             << "Film.mkv" << 1 << 0.5 << 1.5;
        QTest::newRow("fast split, the clip 2.5–4") << "fast split"
                                                    << "Film.mkv" << 1 << 0.5 << 1.5;
        QTest::newRow("speed 2×") << "speed"
                                  << "Film.mkv" << 2 << 1.25 << 1.75;
        QTest::newRow("reordered trim 1–4") << "trim"
                                            << "Reordered.mkv" << 2 << 1.5 << 2.5;
    }
    void cutsAndSpeedsKeepTheStyles()
    {
        QFETCH(QString, operation);
        QFETCH(QString, source);
        const QString file = path(QString::fromLatin1(QTest::currentDataTag()).section(' ', 0, 1) + ".mkv");
        if (!QFile::exists(file)) QVERIFY(QFile::copy(path(source), file));
        const auto clip2 = [&](const QStringList& folders) {
            return QDir(folders.value(0)).filePath(QFileInfo(file).completeBaseName() + " Clip 2.mkv");
        };
        Job job({}, {}, 0);
        QString result;
        try {
            if (operation == "trim")
                result = ToolOps::trimVideo(file, {1, 4}, false, job, {}).value(0);
            else if (operation == "fast")
                result = ToolOps::trimVideo(file, {2.5, 4}, true, job, {}).value(0);
            else if (operation == "split")
                result = clip2(ToolOps::splitVideo(file, {{0, 2}, {2, 4}}, false, job, {}));
            else if (operation == "fast split")
                result = clip2(ToolOps::splitVideo(file, {{0, 2.5}, {2.5, 4}}, true, job, {}));
            else
                result = ToolOps::speed(file, 2, true, "2x", job, {}).value(0);
        } catch (const ConvertError& e) {
            QFAIL(qPrintable(e.message() + " " + e.details()));
        }
        QVERIFY2(Judge::decodeErrors(result).isEmpty(), qPrintable(Judge::decodeErrors(result)));
        const QList<Judge::Stream> subtitles = Judge::probe(result).of("subtitle");
        QCOMPARE(subtitles.size(), 1);
        QCOMPARE(subtitles[0].codec, QString("ass"));
        QVERIFY(subtitles[0].forced);
        QCOMPARE(subtitles[0].tags["language"].toString(), QString("eng"));
        QCOMPARE(subtitles[0].tags["title"].toString(), QString("Signs"));

        const QString ass = Judge::assText(result);
        QVERIFY2(ass.contains("Style: Sign,Arial,14,&H0000FFFF"), qPrintable(ass));
        const QList<Event> got = events(ass);
        QTEST(int(got.size()), "events");
        QCOMPARE(got.last().rest, QString("Sign,,0,0,0,,{\\pos(40,20)}EXIT"));
        if (got.size() == 2) QVERIFY2(got[0].rest.endsWith(",Wait, who's there?"), qPrintable(got[0].rest));
        QFETCH(double, signStart);
        QFETCH(double, signEnd);
        // The source's own streams begin 0.02 s in (the sound's priming).
        QVERIFY2(qAbs(got.last().start - signStart) < 0.07, qPrintable(QString::number(got.last().start)));
        QVERIFY2(qAbs(got.last().end - signEnd) < 0.07, qPrintable(QString::number(got.last().end)));
        QVERIFY2(job.notes().isEmpty(), qPrintable(job.notes().join('|')));
    }

    // The times within each event's tags count from its start, which a speed change moves closer
    // and a cut that starts within it moves later: they follow, what the cut passed done, and
    // every other byte of the event stays as it was.
    void tagTimesFollowTheirEvent_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("speed 2×") << "speed"
                                  << QStringList{
                                         "{\\fad(250,250)\\move(10,10,110,110,0,1000)\\t(0,500,\\frz90)}"
                                         "{\\k25}Go {\\kf50}on {\\ko25}now{\\K10}!",
                                         "{\\pos(80,60)\\fade(255,0,128,0,100,750,1250)\\t(50,200,"
                                         "\\fscx150)}Sign",
                                         "{\\move(0,0,100,50,0,400)\\fad(300)}Moving"};
        // Half a second into the first event, a second into the others.
        QTest::newRow("trim 1–4") << "trim"
                                  << QStringList{
                                         "{\\fad(0,500)\\move(35,35,110,110,0,1500)\\t(0,500,\\frz90)}"
                                         "{\\k0}Go {\\kf100}on {\\ko50}now{\\K20}!",
                                         "{\\pos(80,60)\\fade(255,0,128,0,0,500,1500)\\fscx150}Sign",
                                         "{\\pos(100,50)\\fad(300)}Moving"};
        // The copy begins at the key frame at 2 s: 1.5 s into the first event.
        QTest::newRow("fast trim 2.5–4")
            << "fast"
            << QStringList{"{\\fad(0,500)\\move(85,85,110,110,0,500)\\frz90}"
                           "{\\k0}Go {\\kf0}on {\\ko50}now{\\K20}!",
                           "{\\pos(80,60)\\fade(255,0,128,0,0,0,500)\\fscx150}Sign",
                           "{\\pos(100,50)\\fad(300)}Moving"};
    }
    void tagTimesFollowTheirEvent()
    {
        QFETCH(QString, operation);
        QFETCH(QStringList, texts);
        const QString file =
            path(QString::fromLatin1(QTest::currentDataTag()).section(' ', 0, 0) + "Timed.mkv");
        if (!QFile::exists(file)) QVERIFY(QFile::copy(path("Timed.mkv"), file));
        Job job({}, {}, 0);
        QString result;
        try {
            if (operation == "trim")
                result = ToolOps::trimVideo(file, {1, 4}, false, job, {}).value(0);
            else if (operation == "fast")
                result = ToolOps::trimVideo(file, {2.5, 4}, true, job, {}).value(0);
            else
                result = ToolOps::speed(file, 2, true, "2x", job, {}).value(0);
        } catch (const ConvertError& e) {
            QFAIL(qPrintable(e.message() + " " + e.details()));
        }
        const QList<Event> got = events(Judge::assText(result));
        QCOMPARE(got.size(), texts.size());
        // A cut that isn't a copy begins just before its first frame, a few milliseconds early.
        for (qsizetype k = 0; k < got.size(); ++k)
            QVERIFY2(alike(got[k].rest.section(',', 6), texts[k], 3),
                     qPrintable(got[k].rest.section(',', 6) + " instead of " + texts[k]));
    }

    // An MP4 holds subtitles as plain text: the track goes on, forced still, and the note says
    // what it lost.
    void plainTextResultsSaySo()
    {
        const QString file = path("Plain.mkv");
        QVERIFY(QFile::copy(path("Film.mkv"), file));
        Job job({}, {}, 0);
        const QString result = Converter::convert(file, "mp4", job, {}).value(0);
        const QList<Judge::Stream> subtitles = Judge::probe(result).of("subtitle");
        QCOMPARE(subtitles.size(), 1);
        QCOMPARE(subtitles[0].codec, QString("mov_text"));
        QVERIFY(subtitles[0].forced);
        QCOMPARE(job.notes(), QStringList{"The subtitles “Signs” lost their styles and positions: MP4 files "
                                          "hold only plain text"});
    }
};

QTEST_GUILESS_MAIN(StyledSubtitlesTest)
#include "test_styledsubtitles.moc"
