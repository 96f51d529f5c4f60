// What marks a film's moments, its timecode and its chapters, read back with ffprobe from the
// results of the video tools and conversions: each names the result's own first frame, or the
// note says that the result left it out.

#include "../../support/enginefixtures_a.h"
#include "../../support/probedclip.h"
#include "../../support/timedclip.h"
#include "core/job.h"
#include "engines/converter.h"
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

    // A fresh folder of the test row's own holding a copy of `source`; the copy's path.
    QString copied(const QString& source)
    {
        const QString folder = path(QString::fromLatin1(QTest::currentDataTag()));
        if (!QDir().mkpath(folder)) return {};
        const QString file = QDir(folder).filePath(source);
        return QFile::copy(path(source), file) ? file : QString();
    }

  private slots:
    void initTestCase()
    {
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
};

QTEST_GUILESS_MAIN(VideoMarksTest)
#include "test_videomarks.moc"
