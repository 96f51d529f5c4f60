// Every media write (the conversion to each container, each video tool, Remove Audio, Compress
// and the metadata writes) keeps every stream of a film that its result can hold, in its kind,
// starting at 0 and lasting as long as planned, and names in its note what it leaves out.

#include "../../support/enginefixtures_a.h"
#include "core/converterror.h"
#include "core/job.h"
#include "engines/converter.h"
#include "engines/instant/instanttools.h"
#include "tools/file/compress/compresswork.h"
#include "tools/file/metadata/metadatawork.h"
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

namespace {

// What ffprobe reads from a result.
struct Reading
{
    QStringList kinds; // sorted: "picture", "sound", "subtitle:<codec>", "cover", "cover file"
                       // (an MKV's attached picture), "attachment:<name>"
    double length = 0; // the file's
    double latest = 0; // the latest start of a picture or sound track
    double frame = 0.04;
    int chapters = 0;
};

QJsonObject probe(const QString& path)
{
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-print_format", "json", "-show_streams", "-show_format",
                        "-show_chapters", path});
    p.waitForFinished(60000);
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

Reading read(const QString& path)
{
    const QJsonObject json = probe(path);
    Reading r;
    for (const QJsonValue& v : json["streams"].toArray()) {
        const QJsonObject s = v.toObject();
        const QString type = s["codec_type"].toString();
        const QString file = s["tags"].toObject()["filename"].toString();
        const bool cover = s["disposition"].toObject()["attached_pic"].toInt() == 1;
        if (cover) {
            r.kinds << (file.isEmpty() ? "cover" : "cover file");
            continue;
        }
        if (type == "video" || type == "audio") {
            r.kinds << (type == "video" ? "picture" : "sound");
            r.latest = std::max(r.latest, s["start_time"].toString().toDouble());
        }
        if (type == "video") {
            const QStringList rate = s["avg_frame_rate"].toString().split('/');
            if (rate.size() == 2 && rate[0].toDouble() > 0) r.frame = rate[1].toDouble() / rate[0].toDouble();
        }
        if (type == "subtitle") r.kinds << "subtitle:" + s["codec_name"].toString();
        if (type == "attachment") r.kinds << "attachment:" + file;
    }
    r.kinds.sort();
    r.length = json["format"].toObject()["duration"].toString().toDouble();
    r.chapters = int(json["chapters"].toArray().size());
    return r;
}

// The results of `operation` on `file`: a conversion to that container, or a tool.
QStringList run(const QString& file, const QString& operation, Job& job)
{
    if (operation == "trim") return ToolOps::trimVideo(file, {1, 3}, false, job, {});
    if (operation == "trim fast") // from a key frame
        return ToolOps::trimVideo(file, {1.2, 2.8}, true, job, {});
    if (operation.startsWith("split"))
        return ToolOps::splitVideo(file, {{0, 2}, {2, 4}}, operation.endsWith("fast"), job, {});
    if (operation == "crop") return ToolOps::cropVideo(file, {0.25, 0.25, 0.5, 0.5}, job, {});
    if (operation == "speed") return ToolOps::speed(file, 2, true, "2x", job, {});
    if (operation == "redact")
        return ToolOps::redactVideo(file, {{0.1, 0.1, 0.3, 0.3}}, RedactStyle::black, {}, job, {});
    if (operation == "mute") return InstantTools::mute(file, job, {});
    if (operation == "compress")
        return CompressWork::compressFile(file, CompressWork::Kind::video, {}, job, {});
    if (operation == "edit")
        return MetadataWork::writeFile(file, MetadataWork::Kind::media, false,
                                       {MetaField{"title", "Title", "Trip"}}, false, job);
    if (operation == "strip")
        return MetadataWork::writeFile(file, MetadataWork::Kind::media, true, {}, false, job);
    if (operation == "join")
        return ToolOps::join({file, QFileInfo(file).dir().filePath("second.mp4")}, job, {});
    return Converter::convert(file, operation, job, {});
}

} // namespace

class EveryStreamTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase()
    {
        // 4 s at 25 fps with a key frame every 0.4 s; chapters 0–2 and 2–4.
        QVERIFY(Fixture::write(path("film.srt"), "1\n00:00:00,500 --> 00:00:01,500\nFirst\n\n"
                                                 "2\n00:00:02,500 --> 00:00:03,500\nSecond\n\n"));
        QVERIFY(Fixture::write(path("chapters.txt"), ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\n"
                                                     "END=2000\ntitle=One\n[CHAPTER]\nTIMEBASE=1/1000\n"
                                                     "START=2000\nEND=4000\ntitle=Two\n"));
        QVERIFY(Fixture::write(path("Font.ttf"), QByteArray(2000, 'f')));
        QVERIFY(Fixture::ffmpeg(
            {"-f", "lavfi", "-i", "testsrc=s=32x32:d=1", "-frames:v", "1", path("cover.jpg")}));
        QVERIFY(Fixture::ffmpeg({"-f",
                                 "lavfi",
                                 "-i",
                                 "testsrc2=s=160x120:r=25:d=4",
                                 "-f",
                                 "lavfi",
                                 "-i",
                                 "sine=f=440:d=4",
                                 "-f",
                                 "lavfi",
                                 "-i",
                                 "sine=f=660:d=4",
                                 "-map",
                                 "0",
                                 "-map",
                                 "1",
                                 "-map",
                                 "2",
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
                                 path("base.mkv")}));
        const QStringList in{"-i", path("base.mkv"), "-i", path("film.srt"), "-i", path("chapters.txt")};
        const QStringList maps{"-map", "0:v", "-map", "0:a", "-map", "1", "-map_chapters", "2", "-c", "copy"};
        // An MP4 with two AAC tracks, timed text, a cover, chapters and a timecode track.
        QVERIFY(Fixture::ffmpeg(in + QStringList{"-i", path("cover.jpg")} + maps +
                                QStringList{"-map", "3", "-c:s", "mov_text", "-disposition:v:1",
                                            "attached_pic", "-timecode", "01:00:00:00", path("film.mp4")}));
        // An MKV with AAC and Opus, SubRip, an attached font and an attached cover.jpg.
        QVERIFY(
            Fixture::ffmpeg(in + maps +
                            QStringList{"-c:a:1", "libopus", "-attach", path("Font.ttf"), "-metadata:s:t:0",
                                        "mimetype=font/ttf", "-attach", path("cover.jpg"), "-metadata:s:t:1",
                                        "mimetype=image/jpeg", path("film.mkv")}));
        // A QuickTime film with chapters (a chapter text track).
        QVERIFY(Fixture::ffmpeg({"-i", path("base.mkv"), "-i", path("chapters.txt"), "-map", "0:v", "-map",
                                 "0:a:0", "-map_chapters", "1", "-c", "copy", path("film.mov")}));
    }

    void everyWriteKeepsWhatItsResultCanHold_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QStringList>("kinds");
        QTest::addColumn<double>("length");
        QTest::addColumn<int>("chapters"); // -1: not looked at
        QTest::addColumn<QStringList>("notes");
        const auto row = [](const char* source, const char* operation, const QStringList& kinds,
                            double length, int chapters, const QStringList& notes = {}) {
            QTest::addRow("%s %s", source, operation)
                << QString(source) << QString(operation) << kinds << length << chapters << notes;
        };
        const QString cover = "The cover picture was left out";
        const QString english = "The subtitles “number 1” were left out";
        const QString font = "The attached file “Font.ttf” was left out";
        const QString timecode = "The timecode was left out";
        const QString chapters = "The chapters were left out";
        const QStringList mp4{"cover", "picture", "sound", "sound", "subtitle:mov_text"};
        const QStringList mkv{"attachment:Font.ttf", "cover file", "picture", "sound", "sound",
                              "subtitle:subrip"};
        const QStringList mov{"picture", "sound"};

        // The conversion to each container.
        row("film.mp4", "mkv", {"cover file", "picture", "sound", "sound", "subtitle:subrip"}, 4, 2);
        row("film.mp4", "mov", {"picture", "sound", "sound", "subtitle:mov_text"}, 4, 2, {cover});
        row("film.mp4", "webm", {"picture", "sound", "sound", "subtitle:webvtt"}, 4, 2, {cover});
        row("film.mp4", "avi", {"picture", "sound", "sound"}, 4, 0, {english, cover, timecode, chapters});
        row("film.mp4", "wmv", {"picture", "sound", "sound"}, 4, -1, {english, cover, timecode});
        row("film.mp4", "gif", {"picture"}, 4, 0, {english, cover, timecode, chapters});
        row("film.mkv", "mp4", mp4 + QStringList{}, 4, 2, {font});
        row("film.mkv", "mov", {"picture", "sound", "sound", "subtitle:mov_text"}, 4, 2, {cover, font});
        row("film.mkv", "webm", {"picture", "sound", "sound", "subtitle:webvtt"}, 4, 2, {cover, font});
        row("film.mkv", "avi", {"picture", "sound", "sound"}, 4, 0, {english, font, cover, chapters});
        row("film.mov", "mp4", mov, 4, 2);
        row("film.mov", "mkv", mov, 4, 2);

        // Each tool on each film.
        for (const auto& [source, kinds] :
             {std::pair{"film.mp4", mp4}, {"film.mkv", mkv}, {"film.mov", mov}}) {
            row(source, "trim", kinds, 2, -1);
            // A stream copy begins at the key frame ffmpeg's seek lands on: 0.8 s for 1.2 s, 1.6 s
            // for 2 s.
            row(source, "trim fast", kinds, 2, -1);
            row(source, "split", kinds, 2, -1);
            row(source, "split fast", kinds, 2.4, -1);
            row(source, "crop", kinds, 4, -1);
            row(source, "speed", kinds, 2, 2);
            QStringList uncovered = kinds;
            uncovered.removeIf([](const QString& k) { return k.startsWith("cover"); });
            // The MP4 film's timecode counts from a time of day, which a redacted copy doesn't tell.
            QStringList redacted = uncovered == kinds ? QStringList{} : QStringList{cover};
            if (QString(source) == "film.mp4") redacted << timecode;
            row(source, "redact", uncovered, 4, -1, redacted);
            QStringList muted = kinds;
            muted.removeAll("sound");
            row(source, "mute", muted, 4, 2);
            row(source, "compress", kinds, 4, 2);
            row(source, "edit", kinds, 4, 2);
        }
        // The MKV's cover becomes the joined MP4's; the MP4's own cover and the font are named.
        row("film.mkv", "join", mp4, 8, -1, {font, "The cover picture of second.mp4 was left out"});
        row("film.mp4", "strip", mp4, 4, 0, {"data track"});
        row("film.mkv", "strip", mkv, 4, 0);
    }

    void everyWriteKeepsWhatItsResultCanHold()
    {
        QFETCH(QString, source);
        QFETCH(QString, operation);
        // Each row works on a copy of its own, so that no result is named after another's.
        const QString folder = path(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(folder));
        const QString file = QDir(folder).filePath(source);
        QVERIFY(QFile::copy(path(source), file));
        if (operation == "join") QVERIFY(QFile::copy(path("film.mp4"), QDir(folder).filePath("second.mp4")));
        Job job({}, {}, 0);
        QStringList results;
        try {
            results = run(file, operation, job);
        } catch (const ConvertError& e) {
            QFAIL(qPrintable(e.description()));
        }
        // A split's second clip, which starts where the film is cut.
        QString result = results.value(0);
        if (QFileInfo(result).isDir())
            result = QDir(result).filePath(QFileInfo(file).completeBaseName() + " Clip 2." +
                                           QFileInfo(file).suffix());
        QVERIFY2(QFileInfo::exists(result), qPrintable(result));

        const Reading got = read(result);
        QTEST(got.kinds, "kinds");
        QFETCH(double, length);
        const double slack = std::max(0.1, 0.05 * length);
        QVERIFY2(std::abs(got.length - length) <= slack,
                 qPrintable(QStringLiteral("%1 s instead of %2 s").arg(got.length).arg(length)));
        // No later than a frame after the source's own streams start (an encoder's delay).
        QVERIFY2(got.latest <= read(file).latest + got.frame + 0.001,
                 qPrintable(QStringLiteral("starts at %1 s").arg(got.latest)));
        QFETCH(int, chapters);
        if (chapters >= 0) QCOMPARE(got.chapters, chapters);
        QFETCH(QStringList, notes);
        const QStringList said = job.notes();
        for (const QString& note : notes)
            QVERIFY2(
                std::any_of(said.begin(), said.end(), [&](const QString& s) { return s.contains(note); }),
                qPrintable(note + " | " + said.join(" | ")));
        QVERIFY2(said.size() == notes.size(), qPrintable(said.join(" | ")));
    }
};

QTEST_MAIN(EveryStreamTest)
#include "test_everystream.moc"
