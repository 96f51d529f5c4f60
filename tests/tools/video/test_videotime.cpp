// The video tools keep each result true to its source in time, read with ffprobe and an ffmpeg
// decode of clips whose pictures carry their frame number and whose sound clicks each second: a
// fast cut begins with the key frame at or before the frame shown at its start, never earlier,
// and keeps the sound in step as it was in the source, late sound and B-frames included.

#include "../../support/enginefixtures_a.h"
#include "../../support/timedclip.h"
#include "core/job.h"
#include "tools/video/join/joinwork.h"
#include "tools/video/speed/speedwork.h"
#include "tools/video/split/splitvideowork.h"
#include "tools/video/trim/trimvideowork.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Source
{
    QString name;
    double seconds;
    QString rate;
    std::optional<double> soundDelay;
    QStringList codecs;
};

const QStringList h264{"-c:v", "libx264", "-preset", "veryfast", "-sc_threshold", "0", "-c:a", "aac"};

// The sources, key frames every 2 s unless said otherwise.
const QList<Source> sources{
    {"Keys.mkv", 6.5, "25", 0.0, h264 + QStringList{"-g", "50", "-bf", "2"}},
    {"Keys.mp4", 6.5, "25", 0.0, h264 + QStringList{"-g", "50", "-bf", "2"}},
    {"Keys.webm",
     6.5,
     "25",
     0.0,
     {"-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8", "-g", "50", "-c:a", "libopus"}},
    // Key frames at 0 and 5 s only.
    {"Long.mkv", 7, "25", 0.0, h264 + QStringList{"-g", "250", "-force_key_frames", "0,5"}},
    // Two B-frames between each pair of others, as most encoders write.
    {"Plain.mp4", 6.5, "25", 0.0, h264 + QStringList{"-g", "50", "-bf", "2", "-x264-params", "b-adapt=0"}},
    // A camera's: 29.97 fps, a key frame each half second, three B-frames.
    {"Camera.mov", 6.5, "30000/1001", 0.0,
     h264 + QStringList{"-g", "15", "-bf", "3", "-x264-params", "b-adapt=0"}},
    // The sound begins 0.48 s after the picture.
    {"Late.mp4", 4, "25", 0.48, h264 + QStringList{"-g", "50"}},
    // Clips to join: sound from the start, and sound from 0.48 s on.
    {"Short.mkv", 3, "25", 0.0, h264},
    {"Late.mkv", 3, "25", 0.48, h264},
    // A web film with a key frame each 2 s, of which a piece is copied into the excerpt below.
    {"Web.mp4", 10, "25", 0.0,
     h264 + QStringList{"-g", "50", "-bf", "2", "-x264-params", "b-adapt=0", "-movflags", "+faststart"}},
};

} // namespace

class VideoTimeTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QHash<QString, TimedClip::Timeline> m_read;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // What the source `name` shows and plays, read once.
    const TimedClip::Timeline& source(const QString& name)
    {
        if (!m_read.contains(name)) m_read.insert(name, TimedClip::read(path(name)));
        return m_read[name];
    }

    // The checks of one fast-cut clip `made` of `range` of `source`: it begins with the last key
    // frame at or before the frame shown at the range's start, loses no frame up to the one shown
    // at its end, goes on no more than a quarter second past it (a copy cut in decoding order
    // takes along a few frames that B-frames refer to), and plays its sound in step.
    void checkFastCut(const QString& made, const QString& source, TimeRange range, const QString& row)
    {
        const TimedClip::Timeline& from = this->source(QFileInfo(source).fileName());
        const TimedClip::Timeline got = TimedClip::read(made);
        QVERIFY2(!got.frames.isEmpty(), qPrintable(row));
        const double zero = TimedClip::fileStart(source);
        const double frame = from.frames.value(1).at - from.frames.value(0).at;
        const std::optional<TimedClip::Frame> shown = from.shownAt(zero + range.start);
        QVERIFY2(shown, qPrintable(row));
        double key = 0;
        for (const double k : TimedClip::keyFrames(source))
            if (k <= shown->at + 0.0005) key = k;
        // Counted back from the frame shown: a key frame before an edit list's start isn't shown.
        const int first = shown->number - qRound((shown->at - key) / frame);
        const int last = from.shownAt(zero + range.end - 0.001)->number;
        const int after = int(std::ceil(0.25 / frame));
        const QString read = QStringLiteral("%1: frames %2–%3, %4–%5 wanted")
                                 .arg(row)
                                 .arg(got.frames.first().number)
                                 .arg(got.frames.last().number)
                                 .arg(first)
                                 .arg(last);
        QVERIFY2(got.frames.first().number == first, qPrintable(read));
        QVERIFY2(got.frames.last().number >= last - 1 && got.frames.last().number <= last + after,
                 qPrintable(read));
        for (qsizetype i = 1; i < got.frames.size() && got.frames[i].number <= last; ++i)
            QVERIFY2(got.frames[i].number == got.frames[i - 1].number + 1, qPrintable(read));
        if (!from.clicks.isEmpty()) {
            const std::optional<double> step = TimedClip::worstStep(got, from);
            QVERIFY2(
                step && *step <= frame + 0.015,
                qPrintable(QStringLiteral("%1: sound %2 s out of step").arg(row).arg(step.value_or(-1))));
        }
    }

  private slots:
    void initTestCase()
    {
        for (const Source& s : sources)
            QVERIFY2(TimedClip::make(path(s.name), s.seconds, s.rate, s.soundDelay, s.codecs),
                     qPrintable(s.name));
        // A piece of the web film copied as it is, as a browser's "save clip" does: its picture
        // begins at a key frame and an edit list hides what comes before 3.3 s.
        QVERIFY(Fixture::ffmpeg(
            {"-ss", "3.3", "-i", path("Web.mp4"), "-t", "6", "-c", "copy", path("Excerpt.mp4")}));
        // The short film with side streams: a second sound track in German, English subtitles and
        // a cover picture attached.
        QVERIFY(Fixture::write(path("side.srt"), "1\n00:00:00,500 --> 00:00:01,500\nHello\n\n"));
        QVERIFY(Fixture::ffmpeg(
            {"-f", "lavfi", "-i", "color=c=red:s=32x32", "-frames:v", "1", path("cover.jpg")}));
        QVERIFY(Fixture::ffmpeg({"-i",
                                 path("Short.mkv"),
                                 "-f",
                                 "lavfi",
                                 "-i",
                                 "sine=f=300:d=3",
                                 "-i",
                                 path("side.srt"),
                                 "-map",
                                 "0",
                                 "-map",
                                 "1",
                                 "-map",
                                 "2",
                                 "-c",
                                 "copy",
                                 "-c:a:1",
                                 "aac",
                                 "-metadata:s:a:1",
                                 "language=deu",
                                 "-metadata:s:s:0",
                                 "language=eng",
                                 "-attach",
                                 path("cover.jpg"),
                                 "-metadata:s:t:0",
                                 "mimetype=image/jpeg",
                                 "-metadata:s:t:0",
                                 "filename=cover.jpg",
                                 path("Side.mkv")}));
    }

    void fastCutsBeginAtTheKeyFrameShown_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QList<TimeRange>>("parts"); // one: a trim; more: a split
        const auto row = [](const char* name, const char* source, const QList<TimeRange>& parts) {
            QTest::newRow(name) << QString(source) << parts;
        };
        // Starts on a key frame and just after it, where ffmpeg's seek in a Matroska file with
        // delayed frames would land one key frame interval early.
        // (Their pictures start 0.023 s in, after the sound's priming.)
        row("mkv on a key frame", "Keys.mkv", {{2.03, 6}});
        row("mkv just after a key frame", "Keys.mkv", {{2.12, 6}});
        row("mkv long interval", "Long.mkv", {{5.03, 7}});
        row("webm just after a key frame", "Keys.webm", {{2.05, 6}});
        row("mp4 just after a key frame", "Keys.mp4", {{2.05, 6}});
        // Where the key frame that follows is decoded before the start but shown after it.
        row("mp4 just before a key frame", "Keys.mp4", {{1.97, 6}});
        row("mkv split", "Keys.mkv", {{0, 2.1}, {2.1, 4.05}, {4.05, 6.5}});
        // B-frames, whose picture starts after its sound in a copy.
        row("b-frames mp4", "Plain.mp4", {{2, 6}});
        row("camera mov", "Camera.mov", {{2, 6}});
        // Sound that starts late starts as late in the copy from the key frame at 0.
        row("late sound", "Late.mp4", {{0.2, 3}});
        row("web excerpt split", "Excerpt.mp4", {{0, 2}, {2, 4}, {4, 5.9}});
    }

    void fastCutsBeginAtTheKeyFrameShown()
    {
        QFETCH(QString, source);
        QFETCH(QList<TimeRange>, parts);
        const QString folder = path(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(folder));
        const QString file = QDir(folder).filePath(source);
        QVERIFY(QFile::copy(path(source), file));
        Job job({}, {}, 0);
        QStringList made;
        const ConvertError e = Fixture::failure([&] {
            if (parts.size() == 1)
                made = ToolOps::trimVideo(file, parts.first(), true, job, {});
            else
                for (const QString& clip :
                     Fixture::entries(ToolOps::splitVideo(file, parts, true, job, {}).value(0)))
                    made << QDir(QDir(folder).filePath(QFileInfo(file).completeBaseName() + " Clips"))
                                .filePath(clip);
        });
        QVERIFY2(e.message() == "(no failure)", qPrintable(e.description()));
        QCOMPARE(made.size(), parts.size());
        for (int i = 0; i < parts.size(); ++i)
            checkFastCut(made[i], file, parts[i], QStringLiteral("part %1").arg(i + 1));
    }

    // A speed change keeps the sound where it was against the picture, a late start scaled with
    // the rest, whether the pitch is kept or follows the speed.
    void speedKeepsTheSoundInStep_data()
    {
        QTest::addColumn<double>("speed");
        QTest::addColumn<bool>("keepPitch");
        for (const double speed : {0.5, 1.5, 2.0})
            QTest::addRow("%gx", speed) << speed << true;
        QTest::newRow("0.5x pitch follows") << 0.5 << false;
    }
    void speedKeepsTheSoundInStep()
    {
        QFETCH(double, speed);
        QFETCH(bool, keepPitch);
        const QString folder = path(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(folder));
        const QString file = QDir(folder).filePath("Late.mp4");
        QVERIFY(QFile::copy(path("Late.mp4"), file));
        Job job({}, {}, 0);
        QString made;
        const ConvertError e = Fixture::failure([&] {
            made = ToolOps::speed(file, speed, keepPitch, QString::number(speed) + "x", job, {}).value(0);
        });
        QVERIFY2(e.message() == "(no failure)", qPrintable(e.description()));
        const TimedClip::Timeline &from = source("Late.mp4"), got = TimedClip::read(made);
        QVERIFY2(got.clicks.size() >= 3, qPrintable(QString::number(got.clicks.size())));
        const std::optional<double> step = TimedClip::worstStep(got, from, speed);
        // Within a frame, and the window of the tempo filter that keeps the pitch, which may move a
        // click's first moment by part of it.
        const double window = keepPitch ? 0.045 : 0.015;
        QVERIFY2(step && *step <= 0.04 + window, qPrintable(QStringLiteral("%1 s out of step").arg(*step)));
    }

    // Each joined clip keeps its own sound where it was against its picture: a clip whose sound
    // begins late after a film whose sound begins with its picture, plain or with side streams.
    void joinKeepsEachClipsSoundInPlace_data()
    {
        QTest::addColumn<QString>("first");
        QTest::newRow("plain film, late sound") << "Short.mkv";
        QTest::newRow("film with side streams, late sound") << "Side.mkv";
    }
    void joinKeepsEachClipsSoundInPlace()
    {
        QFETCH(QString, first);
        const QString folder = path(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(folder));
        const QStringList clips{QDir(folder).filePath(first), QDir(folder).filePath("Late.mkv")};
        QVERIFY(QFile::copy(path(first), clips[0]) && QFile::copy(path("Late.mkv"), clips[1]));
        Job job({}, {}, 0);
        QString made;
        const ConvertError e = Fixture::failure([&] { made = ToolOps::join(clips, job, {}).value(0); });
        QVERIFY2(e.message() == "(no failure)", qPrintable(e.description()));
        const TimedClip::Timeline got = TimedClip::read(made);
        // The second clip begins where the frames' numbers start again.
        qsizetype seam = 1;
        while (seam < got.frames.size() && got.frames[seam].number >= got.frames[seam - 1].number)
            ++seam;
        QVERIFY2(seam < got.frames.size(), "no second clip");
        const double at = got.frames[seam].at;
        for (int i = 0; i < 2; ++i) {
            TimedClip::Timeline part = got;
            part.frames = i == 0 ? got.frames.mid(0, seam) : got.frames.mid(seam);
            part.clicks.removeIf([&](double c) { return i == 0 ? c >= at : c < at; });
            const TimedClip::Timeline& from = source(QFileInfo(clips[i]).fileName());
            QVERIFY2(part.clicks.size() >= 2,
                     qPrintable(QStringLiteral("clip %1: %2 clicks").arg(i + 1).arg(part.clicks.size())));
            const std::optional<double> step = TimedClip::worstStep(part, from);
            QVERIFY2(
                step && *step <= 0.055,
                qPrintable(QStringLiteral("clip %1: %2 s out of step").arg(i + 1).arg(step.value_or(-1))));
        }
    }
};

QTEST_GUILESS_MAIN(VideoTimeTest)
#include "test_videotime.moc"
