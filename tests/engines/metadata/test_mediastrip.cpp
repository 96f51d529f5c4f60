// A stripped copy of a film keeps every stream (picture, sound, subtitles, cover picture, fonts)
// and loses every tag and chapter, the cover's own Exif included; what it cannot keep is named in
// the job's notes; an edited copy keeps them all, tags included. Films made by ffmpeg, with a
// cover that exiftool tagged. An edited AIFF holds every tag and its cover in an ID3 chunk.

#include "core/job.h"
#include "engines/metadata/coordinatetext.h"
#include "engines/metadata/mediametadata.h"

#include "../../support/audioclips.h"
#include "../../support/enginefixtures_a.h"
#include "../../support/files.h"
#include "../../support/programoutput.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

namespace {

QJsonObject probe(const QString& path)
{
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-print_format", "json", "-show_format", "-show_streams",
                        "-show_chapters", path});
    p.waitForFinished(60000);
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

// Each stream as "<type> <codec>", "cover" added for an attached picture, in sorted order: a
// matroska result lists its attachments last.
QStringList kinds(const QJsonObject& probed)
{
    QStringList out;
    for (const QJsonValue& v : probed["streams"].toArray()) {
        const QJsonObject s = v.toObject();
        out << s["codec_type"].toString() + " " + s["codec_name"].toString() +
                   (s["disposition"].toObject()["attached_pic"].toInt() ? " cover" : "");
    }
    out.sort();
    return out;
}

// Every tag of the file and its streams that a container does not write by itself.
QStringList tags(const QJsonObject& probed)
{
    static const QStringList structural{"major_brand", "minor_version", "compatible_brands", "handler_name",
                                        "vendor_id",   "DURATION",      "filename",          "mimetype"};
    QStringList out;
    const auto add = [&](const QJsonObject& t) {
        for (auto it = t.begin(); it != t.end(); ++it)
            if (!structural.contains(it.key()) && !(it.key() == "language" && it.value() == "und") &&
                !(it.key() == "encoder" && it.value() == "Lavf")) // the muxer's own name
                out << it.key() + "=" + it.value().toString();
    };
    add(probed["format"].toObject()["tags"].toObject());
    for (const QJsonValue& v : probed["streams"].toArray())
        add(v.toObject()["tags"].toObject());
    return out;
}

QStringList values(const QList<MetaField>& fields)
{
    QStringList out;
    for (const MetaField& f : fields)
        out << f.value;
    return out;
}

// What exiftool reads in an AIFF's own chunks ("AIFF Name: …") and in its ID3 chunk, whatever
// the version ("ID3 Title: …").
QStringList aiffTags(const QString& path)
{
    QStringList out;
    for (QString line : programOutput("exiftool", {"-a", "-G1", "-s", "-s", path}).split('\n')) {
        line.replace(QRegularExpression(R"(^\[ID3v2_\d\] )"), "ID3 ");
        line.replace(QRegularExpression(R"(^\[AIFF\] )"), "AIFF ");
        if (line.startsWith("ID3 ") || line.startsWith("AIFF ")) out << line;
    }
    return out;
}

// ffmpeg's checksum of the decoded sound of `path`.
QString soundSum(const QString& path)
{
    return programOutput("ffmpeg", {"-v", "error", "-i", path, "-map", "0:a", "-f", "md5", "-"}).trimmed();
}

} // namespace

class MediaStripTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase()
    {
        writeFile(path("subs.srt"), "1\n00:00:00,000 --> 00:00:01,000\nHello there\n\n"
                                    "2\n00:00:01,000 --> 00:00:02,000\nSecond line\n");
        writeFile(path("chapters.txt"),
                  ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1000\ntitle=Intro\n"
                  "[CHAPTER]\nTIMEBASE=1/1000\nSTART=1000\nEND=2000\ntitle=Rest\n");
        QByteArray font;
        for (int i = 0; i < 3000; ++i)
            font.append(char((i * 7919) % 251));
        writeFile(path("font.ttf"), font);
        QImage cover(32, 32, QImage::Format_RGB32);
        cover.fill(Qt::blue);
        QVERIFY(cover.save(path("cover.jpg"), "JPEG", 95));
        QProcess exiftool;
        exiftool.start("exiftool", {"-q", "-overwrite_original", "-Make=CoverCam", "-GPSLatitude=48.8584",
                                    "-GPSLatitudeRef=N", path("cover.jpg")});
        QVERIFY(exiftool.waitForFinished(60000) && exiftool.exitCode() == 0);
        QVERIFY(readAll(path("cover.jpg")).contains("CoverCam"));
    }

    void filmKeepsEveryStream_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("make");
        const auto words = [](const char* text) { return QString::fromUtf8(text).split(' '); };
        const QStringList sources =
            words("-f lavfi -i testsrc2=size=64x48:rate=10:duration=2 -f lavfi -i sine=duration=2 -i") +
            QStringList{path("subs.srt"), "-i", path("chapters.txt")};
        const QStringList tagged = words("-map_chapters 3 -metadata title=Holiday -metadata "
                                         "location=+48.8584+002.2945/ -metadata:s:a:0 title=Voice "
                                         "-metadata:s:s:0 language=fra -metadata:s:s:0 title=French");
        QTest::newRow("MP4 with mov_text and a cover")
            << "film.mp4"
            << sources + QStringList{"-i", path("cover.jpg")} +
                   words(
                       "-map 0 -map 1 -map 2 -map 4 -c:v:0 libx264 -preset ultrafast -c:a aac -c:s mov_text "
                       "-c:v:1 copy -disposition:v:1 attached_pic") +
                   tagged;
        QTest::newRow("MKV with SubRip, a font and a cover")
            << "film.mkv"
            << sources +
                   words("-map 0 -map 1 -map 2 -c:v libx264 -preset ultrafast -c:a aac -c:s srt -attach") +
                   QStringList{path("font.ttf"),
                               "-metadata:s:3",
                               "mimetype=application/x-truetype-font",
                               "-attach",
                               path("cover.jpg"),
                               "-metadata:s:4",
                               "mimetype=image/jpeg"} +
                   tagged;
    }
    void filmKeepsEveryStream()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, make);
        const QString film = path(name);
        QVERIFY(Fixture::ffmpeg(make + QStringList{film}));
        const QJsonObject before = probe(film);
        QCOMPARE(before["chapters"].toArray().size(), 2);
        QVERIFY2(tags(before).contains("language=fra"), qPrintable(tags(before).join(", ")));
        QVERIFY(kinds(before).contains("video mjpeg cover"));
        QVERIFY(kinds(before).contains("subtitle " + QString(name.endsWith("mp4") ? "mov_text" : "subrip")));
        QVERIFY(readAll(film).contains("CoverCam"));

        Job job("", "", 0);
        const QString bare = path("bare " + name);
        MetadataEngine::writeMedia(film, bare, {}, true, job);
        const QJsonObject after = probe(bare);
        // The QuickTime chapter track goes with the chapters.
        QStringList kept = kinds(before);
        kept.removeAll("data bin_data");
        QCOMPARE(kinds(after), kept);
        QVERIFY2(tags(after).isEmpty(), qPrintable(tags(after).join(", ")));
        QCOMPARE(after["chapters"].toArray().size(), 0);
        QCOMPARE(job.notes(), QStringList());
        const QByteArray bytes = readAll(bare);
        for (const char* gone : {"CoverCam", "Intro", "Holiday", "French", "Voice", "48.8584"})
            QVERIFY2(!bytes.contains(gone), gone);
        if (name.endsWith("mkv")) QVERIFY(bytes.contains(readAll(path("font.ttf"))));

        // The subtitles read as before, and the cover is the same picture.
        QVERIFY(Fixture::ffmpeg({"-i", bare, "-map", "0:s:0", path(name + ".srt")}));
        const QByteArray cues = readAll(path(name + ".srt"));
        QVERIFY2(cues.contains("Hello there") && cues.contains("Second line"), cues.constData());
        QVERIFY(Fixture::ffmpeg({"-i", bare, "-map", "0:v:1", "-frames:v", "1", path(name + " cover.png")}));
        const QImage cover(path(name + " cover.png"));
        QCOMPARE(cover.size(), QSize(32, 32));
        QVERIFY(qAbs(cover.pixelColor(16, 16).blue() - 255) < 12 && cover.pixelColor(16, 16).red() < 12);
        QVERIFY(qAbs(after["format"].toObject()["duration"].toString().toDouble() - 2.0) < 0.1);
    }

    // An edited copy keeps every stream with its tags and chapters, and its cover as the same
    // picture, byte for byte: an MKV's cover stays an attachment, not a second video track.
    void editKeepsEveryStream_data() { filmKeepsEveryStream_data(); }
    void editKeepsEveryStream()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, make);
        const QString film = path("edit " + name), edited = path("edited " + name);
        QVERIFY(Fixture::ffmpeg(make + QStringList{film}));
        const QJsonObject before = probe(film);
        Job job("", "", 0);
        MetadataEngine::writeMedia(film, edited, {MetaField{"title", "Title", "Trip"}}, false, job);
        const QJsonObject after = probe(edited);
        QCOMPARE(kinds(after), kinds(before));
        QCOMPARE(after["format"].toObject()["tags"].toObject()["title"].toString(), QString("Trip"));
        QVERIFY2(tags(after).contains("language=fra"), qPrintable(tags(after).join(", ")));
        QCOMPARE(after["chapters"].toArray().size(), 2);
        const QByteArray bytes = readAll(edited);
        QVERIFY(bytes.contains(readAll(path("cover.jpg"))));
        if (name.endsWith("mkv")) QVERIFY(bytes.contains(readAll(path("font.ttf"))));
    }

    // A song's cover stays the same kind of picture, without its own tags.
    void songKeepsItsCover_data()
    {
        QTest::addColumn<QString>("ext");
        QTest::newRow("MP3") << "mp3";
        QTest::newRow("M4A") << "m4a";
        QTest::newRow("FLAC") << "flac";
    }
    void songKeepsItsCover()
    {
        QFETCH(QString, ext);
        const QString song = path("song." + ext), bare = path("song bare." + ext);
        QVERIFY(Fixture::ffmpeg({"-f", "lavfi", "-i", "sine=duration=1", "-i", path("cover.jpg"), "-map", "0",
                                 "-map", "1", "-c:v", "copy", "-disposition:v", "attached_pic",
                                 "-metadata:s:v", "comment=Cover (back)", "-metadata", "artist=Ann", song}));
        Job job("", "", 0);
        MetadataEngine::writeMedia(song, bare, {}, true, job);
        const QJsonObject after = probe(bare);
        QCOMPARE(kinds(after), kinds(probe(song)));
        QVERIFY(!readAll(bare).contains("CoverCam") && !readAll(bare).contains("Ann"));
        const QStringList left = tags(after);
        QCOMPARE(left, ext == "m4a" ? QStringList() : QStringList{"comment=Cover (back)"});
    }

    // An AIFF keeps every tag in its ID3 chunk, its own chunks as far as they go, and its cover:
    // whatever the edit leaves alone stays, whatever it types is written. Stripped again, the
    // file keeps no ID3 chunk, so its cover goes with a note.
    void aiffEditKeepsEveryTag_data()
    {
        QTest::addColumn<QStringList>("make");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QList<MetaField>>("typed");
        QTest::addColumn<QString>("cover");
        const QStringList sound{"-f", "lavfi", "-i", "sine=duration=1"};
        const QStringList tagged{"-metadata", "title=Old",  "-metadata", "artist=Ann",
                                 "-metadata", "album=Road", "-metadata", "date=2001",
                                 "-metadata", "genre=Folk", "-metadata", "comment=Live"};
        const QStringList asCover{"-map",           "0",
                                  "-map",           "1",
                                  "-c:v",           "copy",
                                  "-disposition:v", "attached_pic",
                                  "-metadata:s:v",  "comment=Cover (front)",
                                  "-write_id3v2",   "1"};
        const QList<MetaField> title{{"title", "Title", "New"}};
        QTest::newRow("ID3v2.4 chunk and a JPEG cover")
            << sound + QStringList{"-i", path("cover.jpg")} + asCover + tagged
            << QStringList{"Old", "Ann", "Road", "2001", "Folk", "Live"} << title << path("cover.jpg");
        QTest::newRow("ID3v2.3 chunk and a PNG cover")
            << sound + QStringList{"-i", path("cover.png"), "-id3v2_version", "3"} + asCover + tagged
            << QStringList{"Old", "Ann", "Road", "2001", "Folk", "Live"} << title << path("cover.png");
        QTest::newRow("its own chunks only")
            << sound + QStringList{"-metadata", "title=Old", "-metadata", "comment=Live"}
            << QStringList{"Old", "", "", "", "", "Live"}
            << QList<MetaField>{{"title", "Title", "New"},
                                {"artist", "Artist", "Ann"},
                                {"album", "Album", "Road"},
                                {"date", "Year", "2001"},
                                {"genre", "Genre", "Folk"}}
            << QString();
    }
    void aiffEditKeepsEveryTag()
    {
        QFETCH(QStringList, make);
        QFETCH(QStringList, before);
        QFETCH(QList<MetaField>, typed);
        QFETCH(QString, cover);
        if (!QFile::exists(path("cover.png")))
            QVERIFY(Fixture::ffmpeg(
                {"-f", "lavfi", "-i", "testsrc2=s=48x48", "-frames:v", "1", path("cover.png")}));
        const QString name = QString(QTest::currentDataTag()).section(' ', 0, 0);
        const QString song = path(name + ".aiff"), edited = path(name + " edited.aiff"),
                      bare = path(name + " bare.aiff");
        QVERIFY(Fixture::ffmpeg(make + QStringList{song}));
        QCOMPARE(values(MetadataEngine::mediaFields(song)), before);

        Job job("", "", 0);
        MetadataEngine::writeMedia(song, edited, typed, false, job);
        QCOMPARE(values(MetadataEngine::mediaFields(edited)),
                 (QStringList{"New", "Ann", "Road", "2001", "Folk", "Live"}));
        QCOMPARE(job.notes(), QStringList());
        const QStringList read = aiffTags(edited);
        for (const char* tag : {"ID3 Title: New", "ID3 Artist: Ann", "ID3 Album: Road", "ID3 Genre: Folk",
                                "AIFF Name: New", "AIFF Annotation: Live"})
            QVERIFY2(read.contains(tag), qPrintable(tag + QString(" not in: ") + read.join(", ")));
        QVERIFY2(read.contains("ID3 RecordingTime: 2001") || read.contains("ID3 Year: 2001"),
                 qPrintable(read.join(", ")));
        QCOMPARE(kinds(probe(edited)), kinds(probe(song)));
        QVERIFY(soundSum(song).startsWith("MD5="));
        QCOMPARE(soundSum(edited), soundSum(song));
        if (!cover.isEmpty()) {
            QVERIFY(readAll(edited).contains(readAll(cover)));
            QVERIFY2(read.contains("ID3 PictureType: Front Cover"), qPrintable(read.join(", ")));
        }

        Job strip("", "", 0);
        MetadataEngine::writeMedia(edited, bare, {}, true, strip);
        QCOMPARE(aiffTags(bare).filter(QRegularExpression("^ID3 |Name|Annotation")), QStringList());
        QVERIFY(!readAll(bare).contains("ID3"));
        QCOMPARE(kinds(probe(bare)), QStringList{"audio pcm_s16be"});
        QCOMPARE(soundSum(bare), soundSum(song));
        QCOMPARE(strip.notes(), cover.isEmpty() ? QStringList()
                                                : QStringList{"The cover picture was left out: AIFF files "
                                                              "without tags can’t hold it"});
    }

    // A drone's telemetry track tells where every second of the film was taken: a strip leaves it
    // out, with a note naming it (an MP4 names subtitles by their language only), and keeps the
    // subtitles that hold none.
    void telemetrySubtitlesAreLeftOut_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("cue");
        QTest::addColumn<QString>("named");
        QTest::newRow("MKV by mkvmerge") << "drone.mkv"
                                         << "ISO 100 [latitude: 43.2917] [longitude: 5.3778]"
                                         << "Telemetry";
        QTest::newRow("MP4 by ffmpeg") << "drone.mp4"
                                       << "HOME(5.3778,43.2917) GPS(5.3778,43.2917,19)"
                                       << "English";
    }
    void telemetrySubtitlesAreLeftOut()
    {
        QFETCH(QString, name);
        QFETCH(QString, cue);
        QFETCH(QString, named);
        writeFile(path("telemetry.srt"), ("1\n00:00:00,000 --> 00:00:01,000\n" + cue +
                                          "\n\n2\n00:00:01,000 --> "
                                          "00:00:02,000\n" +
                                          cue + "\n")
                                             .toUtf8());
        const QString film = path(name), clip = path("clip.mkv"), bare = path("bare " + name);
        QVERIFY(Fixture::ffmpeg(QString("-f lavfi -i testsrc2=size=64x48:rate=10:duration=2 -c:v libx264 "
                                        "-preset ultrafast")
                                    .split(' ')
                                << clip));
        if (name.endsWith("mkv"))
            QVERIFY(!programOutput("mkvmerge", {"-q", "-o", film, clip, "--track-name", "0:Telemetry",
                                                path("telemetry.srt"), path("subs.srt")})
                         .startsWith('<'));
        else
            QVERIFY(
                Fixture::ffmpeg(QStringList{"-i", clip, "-i", path("telemetry.srt"), "-i", path("subs.srt")} +
                                    QString("-map 0 -map 1 -map 2 -c:v copy -c:s mov_text -metadata:s:s:0 "
                                            "language=eng")
                                        .split(' ')
                                << film));
        QVERIFY(readAll(film).contains("43.2917"));
        Job job("", "", 0);
        MetadataEngine::writeMedia(film, bare, {}, true, job);
        QStringList kept = kinds(probe(film));
        kept.removeOne(kept.filter("subtitle").first());
        QCOMPARE(kinds(probe(bare)), kept);
        QVERIFY(!readAll(bare).contains("43.2917") && !readAll(bare).contains("5.3778"));
        QCOMPARE(job.notes(), QStringList{"The subtitles “" + named +
                                          "” were left out: they tell where the film was taken"});
        QVERIFY(Fixture::ffmpeg({"-i", bare, "-map", "0:s:0", path(name + ".srt")}));
        QVERIFY(readAll(path(name + ".srt")).contains("Hello there"));
    }

    // The forms a position takes in telemetry and captions, and texts that only look alike: a
    // subtitle track taken for a location would be lost.
    void coordinatesInText()
    {
        for (const QString text : {"[latitude: 43.2917] [longitude: 5.3778]", "GPS (5.3778, 43.2917, 19)",
                                   "lat 43.29 lon 5.37", "43.291700, 5.377800", "43°17'30.1\"N 5°22'40.1\"E",
                                   "43 deg 17' 30.12\" N", "+43.2917+005.3778/"})
            QVERIFY2(CoordinateText::holdsCoordinates(text), qPrintable(text));
        for (const QString text :
             {"00:00:01,000 --> 00:00:02,000", "It is 21°C, and the latte costs 4.50",
              "Chapter 12.5, page 3.25", "Speed 12.3456 m/s", "Latitude is a film about the sea"})
            QVERIFY2(!CoordinateText::holdsCoordinates(text), qPrintable(text));
    }

    // A timecode track is a data track: it is left out, and a note says so.
    void dataTracksAreNamed()
    {
        const QString film = path("timed.mov");
        QVERIFY(Fixture::ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=10:duration=1", "-c:v",
                                 "libx264", "-preset", "ultrafast", "-timecode", "01:00:00:00", film}));
        QCOMPARE(kinds(probe(film)), (QStringList{"data ", "video h264"}));
        Job job("", "", 0);
        MetadataEngine::writeMedia(film, path("timed bare.mov"), {}, true, job);
        QCOMPARE(kinds(probe(path("timed bare.mov"))), QStringList{"video h264"});
        QCOMPARE(job.notes(),
                 QStringList{"A data track was left out: such tracks hold timed details, locations "
                             "among them, that can’t be removed from them"});

        // An Ogg file holds its cover among its tags, so the cover goes too, with a note.
        const QString song = AudioClips::make(m_dir.path(), "Cover.ogg");
        QCOMPARE(AudioClips::coverPictures(song), 1);
        Job ogg("", "", 0);
        MetadataEngine::writeMedia(song, path("song bare.ogg"), {}, true, ogg);
        QCOMPARE(kinds(probe(path("song bare.ogg"))), QStringList{"audio vorbis"});
        QCOMPARE(ogg.notes(),
                 QStringList{"The cover picture was left out: OGG files without tags can’t hold it"});
    }
};

QTEST_MAIN(MediaStripTest)
#include "test_mediastrip.moc"
