// What a conversion takes of its source's tracks and tags, judged by ffprobe and by decoding the
// result whole: one sound track for a song file, the tags an Ogg song keeps on its stream, a
// picture that only decodes when encoded again, the tracks' languages in a QuickTime file, an
// Opus book's chapters, and timestamps that start late.

#include "../../support/enginefixtures_a.h"
#include "../../support/streamjudge.h"
#include "core/job.h"
#include "engines/converter.h"
#include "engines/instant/instanttools.h"
#include "engines/media/media.h"
#include "engines/media/oggchapters.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

namespace {

// A FLAC picture block holding the JPEG `jpeg`, base64 as a Vorbis comment carries a cover.
QByteArray pictureBlock(const QByteArray& jpeg)
{
    QByteArray block;
    const auto number = [&](quint32 n) {
        const quint32 big = qToBigEndian(n);
        block.append(reinterpret_cast<const char*>(&big), 4);
    };
    number(3); // the front cover
    number(10);
    block += "image/jpeg";
    number(0);
    for (const quint32 n : {32u, 32u, 24u, 0u})
        number(n);
    number(quint32(jpeg.size()));
    return (block + jpeg).toBase64();
}

} // namespace

class MediaTracksTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    // A copy of `name` alone in a folder of its own, for the row `row`.
    QString copy(const QString& name, const QString& row)
    {
        const QString folder = path(row);
        QDir().mkpath(folder);
        QFile::copy(path(name), QDir(folder).filePath(name));
        return QDir(folder).filePath(name);
    }

    bool make(const QString& options, const QString& out) { return Judge::make(m_dir.path(), options, out); }

    // The row's source converted to `target` in a folder of its own; a refusal fails the row.
    QString converted(const QString& source, const QString& target, Job& job)
    {
        try {
            return Converter::convert(copy(source, QTest::currentDataTag()), target, job, {}).value(0);
        } catch (const ConvertError& e) {
            QTest::qFail(qPrintable(e.message()), __FILE__, __LINE__);
            return {};
        }
    }

  private slots:
    void initTestCase()
    {
        QVERIFY(make("-f lavfi -i testsrc=s=32x32:d=1 -frames:v 1", "cover.jpg"));
        // 3 s of picture, a German sound track of 3 s and a French one of 2 s, told apart by
        // their lengths; the French one is the default.
        const QString film =
            "-f lavfi -i testsrc2=s=160x120:r=25:d=3 -f lavfi -i sine=f=440:d=3 -f lavfi -i "
            "sine=f=660:d=2 -i @cover.jpg -map 0 -map 1 -map 2 -c:v:0 libx264 -preset ultrafast "
            "-pix_fmt yuv420p -c:a aac -metadata:s:a:0 language=deu -metadata:s:a:1 language=fra ";
        QVERIFY(make(film + "-map 3 -c:v:1 copy -disposition:v:1 attached_pic -disposition:a:0 0 "
                            "-disposition:a:1 default",
                     "covered.mp4"));
        QVERIFY(make(film, "plain.mkv"));
        // The same with Czech subtitles, tagged by the code QuickTime's table does not use.
        QFile words(path("words.srt"));
        QVERIFY(words.open(QIODevice::WriteOnly));
        words.write("1\n00:00:00,500 --> 00:00:01,500\nAhoj\n");
        words.close();
        QVERIFY(make("-i @plain.mkv -i @words.srt -map 0 -map 1 -c copy -metadata:s:s:0 language=cze",
                     "spoken.mkv"));
        // Sound in Māori, Swedish and English, and Māori subtitles titled "Kupu".
        QVERIFY(make("-i @plain.mkv -i @words.srt -map 0:v -map 0:a:0 -map 0:a:1 -map 0:a:0 -map 1 -c copy "
                     "-metadata:s:a:0 language=mri -metadata:s:a:1 language=swe -metadata:s:a:2 language=eng "
                     "-metadata:s:s:0 language=mri -metadata:s:s:0 title=Kupu",
                     "reo.mkv"));
        // A spoken book of 3 s whose chapters start at 0, 1.5 and 2.75 s.
        QFile marks(path("book.txt"));
        QVERIFY(marks.open(QIODevice::WriteOnly));
        marks.write(";FFMETADATA1\n");
        for (const auto& [start, end, title] :
             {std::tuple{0, 1500, "Intro"}, std::tuple{1500, 2750, "Main"}, std::tuple{2750, 3000, "End"}})
            marks.write(QString("[CHAPTER]\nTIMEBASE=1/1000\nSTART=%1\nEND=%2\ntitle=%3\n")
                            .arg(start)
                            .arg(end)
                            .arg(title)
                            .toUtf8());
        marks.close();
        QVERIFY(make("-f lavfi -i sine=d=3 -i @book.txt -map 0 -map_chapters 1 -c:a aac", "book.m4a"));
        // The same 3 s, timed from 5 s on.
        QVERIFY(make("-i @plain.mkv -map 0:v -map 0:a:0 -c copy -output_ts_offset 5", "late.mkv"));
        QVERIFY(make("-i @plain.mkv -map 0:v -map 0:a:0 -c copy -output_ts_offset 5", "late.mp4"));
        // QuickTime Animation, whose decoder needs what only a QuickTime file tells it.
        QVERIFY(make("-f lavfi -i testsrc2=s=160x120:r=25:d=2 -f lavfi -i sine=d=2 -c:v qtrle -pix_fmt rgb24 "
                     "-c:a pcm_s16le",
                     "animation.mov"));
        // The same taken at a known moment and place, titled, its sound in French; and a film whose
        // second sound track an MP4 can't hold, with the place under Apple's own name.
        const QString taken = "-metadata creation_time=2021-05-06T07:08:09Z -metadata:s:a:0 language=fra ";
        QVERIFY(
            make("-f lavfi -i testsrc2=s=160x120:r=25:d=1 -f lavfi -i sine=d=1 -c:v qtrle -c:a pcm_s16le " +
                     taken + "-metadata title=Harbour -metadata location=+48.8577+002.2950/",
                 "taken.mov"));
        QVERIFY(
            make("-f lavfi -i testsrc2=s=160x120:r=25:d=1 -f lavfi -i sine=d=1 -f lavfi -i sine=f=660:d=1 "
                 "-map 0 -map 1 -map 2 -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a:0 aac "
                 "-c:a:1 pcm_s16le -metadata title=Harbour -movflags use_metadata_tags "
                 "-metadata com.apple.quicktime.location.ISO6709=+48.8577+002.2950/ " +
                     taken,
                 "placed.mov"));
        // A second picture track beside the first and a cover; a song with a cover.
        QVERIFY(
            make("-f lavfi -i testsrc2=s=160x120:r=25:d=2 -f lavfi -i testsrc=s=96x64:r=25:d=2 -f lavfi -i "
                 "sine=d=2 -i @cover.jpg -map 0 -map 1 -map 2 -map 3 -c:v:0 libx264 -c:v:1 libx264 -preset "
                 "ultrafast -pix_fmt yuv420p -c:v:2 copy -disposition:v:2 attached_pic -c:a aac",
                 "angles.mp4"));
        QVERIFY(
            make("-f lavfi -i sine=d=2 -i @cover.jpg -map 0 -map 1 -c:v copy -disposition:v:0 attached_pic",
                 "covered.mp3"));

        // Songs whose tags and cover ffmpeg puts on the sound stream.
        QFile jpeg(path("cover.jpg"));
        QVERIFY(jpeg.open(QIODevice::ReadOnly));
        const QStringList tags{
            "-metadata", "title=Night Song",
            "-metadata", "artist=The Band",
            "-metadata", "METADATA_BLOCK_PICTURE=" + QString::fromLatin1(pictureBlock(jpeg.readAll()))};
        for (const QString codec : {"libvorbis", "libopus"})
            QVERIFY(Fixture::ffmpeg(QStringList{"-f", "lavfi", "-i", "sine=d=2", "-c:a", codec} + tags +
                                    QStringList{path(codec == "libopus" ? "song.opus" : "song.ogg")}));
    }

    // A song file holds one sound track: the film's default one, else its first. The note names
    // each one left out, whether or not a cover goes along.
    void songsTakeOneSoundTrack_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<double>("seconds"); // the length of the track taken
        QTest::addColumn<int>("covers");
        QTest::addColumn<QString>("note");
        QTest::newRow("default track, with a cover")
            << "covered.mp4" << 2.0 << 1 << "The sound track “German” was left out: MP3 files hold only one";
        QTest::newRow("first track") << "plain.mkv" << 3.0 << 0
                                     << "The sound track “French” was left out: MP3 files hold only one";
    }
    void songsTakeOneSoundTrack()
    {
        QFETCH(QString, source);
        Job job({}, {}, 0);
        const QString result = converted(source, "mp3", job);
        if (QTest::currentTestFailed()) return;
        QVERIFY2(Judge::decodeErrors(result).isEmpty(), qPrintable(Judge::decodeErrors(result)));
        const Judge::File got = Judge::probe(result);
        QCOMPARE(got.of("audio").size(), 1);
        QTEST(got.covers(), "covers");
        QFETCH(double, seconds);
        QVERIFY2(qAbs(got.duration - seconds) < 0.2, qPrintable(QString::number(got.duration)));
        QFETCH(QString, note);
        QCOMPARE(job.notes(), QStringList{note});
    }

    // An Ogg song's title and artist, which live on its sound stream, are the result's own in
    // every sound format, beside its cover.
    void oggTagsAreKept_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        for (const char* target : {"mp3", "m4a", "flac"})
            QTest::addRow("song.ogg to %s", target) << "song.ogg" << QString(target);
        QTest::newRow("song.opus to mp3") << "song.opus"
                                          << "mp3";
    }
    void oggTagsAreKept()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        Job job({}, {}, 0);
        const QString result =
            Converter::convert(copy(source, QTest::currentDataTag()), target, job, {}).value(0);
        const Judge::File got = Judge::probe(result);
        QCOMPARE(got.tags["title"].toString(), QString("Night Song"));
        QCOMPARE(got.tags["artist"].toString(), QString("The Band"));
        QCOMPARE(got.covers(), 1);
        QVERIFY2(job.notes().isEmpty(), qPrintable(job.notes().join('|')));
    }

    // A picture is copied only into a container it plays from: QuickTime Animation is encoded
    // again for an MKV, while H.264 is still copied, packet for packet.
    void copiesPlay_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("copied");
        QTest::newRow("animation to mkv") << "animation.mov"
                                          << "mkv" << false;
        QTest::newRow("h264 to mp4") << "plain.mkv"
                                     << "mp4" << true;
    }
    void copiesPlay()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        Job job({}, {}, 0);
        const QString result = converted(source, target, job);
        if (QTest::currentTestFailed()) return;
        QVERIFY2(Judge::decodeErrors(result).isEmpty(), qPrintable(Judge::decodeErrors(result)));
        QCOMPARE(Judge::probe(result).of("video").size(), 1);
        QCOMPARE(Judge::probe(result).of("audio").size(), Judge::probe(path(source)).of("audio").size());
        QTEST(Judge::firstPackets(result) == Judge::firstPackets(path(source)), "copied");
        QVERIFY2(job.notes().isEmpty(), qPrintable(job.notes().join('|')));
    }

    // A copy the target refuses (a picture that doesn't decode from an MKV, a sound track an MP4
    // can't hold) is encoded again with the tags the copy would have kept: the moment and place
    // the film was taken, its title and its sound's language.
    void retriedCopyKeepsTags_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::newRow("animation to mkv") << "taken.mov"
                                          << "mkv";
        QTest::newRow("pcm sound to mp4") << "placed.mov"
                                          << "mp4";
    }
    void retriedCopyKeepsTags()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        Job job({}, {}, 0);
        const QString result = converted(source, target, job);
        if (QTest::currentTestFailed()) return;
        QVERIFY2(Judge::firstPackets(result) != Judge::firstPackets(path(source)), "encoded again");
        QVERIFY2(Judge::decodeErrors(result).isEmpty(), qPrintable(Judge::decodeErrors(result)));
        const Judge::File got = Judge::probe(result);
        // An MKV names its tags in capitals.
        const auto tag = [&](const QString& name) {
            for (auto it = got.tags.begin(); it != got.tags.end(); ++it)
                if (it.key().compare(name, Qt::CaseInsensitive) == 0) return it.value().toString();
            return QString();
        };
        QCOMPARE(tag("creation_time").left(19), QString("2021-05-06T07:08:09"));
        QCOMPARE(tag("location"), QString("+48.8577+002.2950/"));
        QCOMPARE(tag("title"), QString("Harbour"));
        QCOMPARE(got.of("audio").value(0).tags["language"].toString(), QString("fra"));
    }

    // A film's cover goes into an MKV as its attached picture, the cover's own bytes, beside the
    // picture and both sound tracks; the folder it was taken out into goes with the conversion.
    void filmCoverIntoMkv()
    {
        QTemporaryDir temp;
        const std::optional<QByteArray> tmpdir =
            qEnvironmentVariableIsSet("TMPDIR") ? std::optional(qgetenv("TMPDIR")) : std::nullopt;
        qputenv("TMPDIR", temp.path().toUtf8());
        const auto restore = qScopeGuard([&] { tmpdir ? qputenv("TMPDIR", *tmpdir) : qunsetenv("TMPDIR"); });
        Job job({}, {}, 0);
        QString result;
        try {
            result = Converter::convert(copy("covered.mp4", "cover into mkv"), "mkv", job, {}).value(0);
        } catch (const ConvertError& e) {
            QFAIL(qPrintable(e.message()));
        }
        const Judge::File got = Judge::probe(result);
        QCOMPARE(got.covers(), 1);
        QCOMPARE(got.of("video").size(), 1);
        QCOMPARE(got.of("audio").size(), 2);
        QCOMPARE(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }

    // A QuickTime file keeps each track's language, whichever of its two ISO 639-2 codes the
    // source named it by: ffmpeg writes it there only by the code of the Macintosh table.
    void quickTimeKeepsLanguages()
    {
        Job job({}, {}, 0);
        const QString mov = Converter::convert(copy("spoken.mkv", "languages"), "mov", job, {}).value(0);
        const Judge::File got = Judge::probe(mov);
        QStringList languages;
        for (const QString type : {"audio", "subtitle"})
            for (const Judge::Stream& s : got.of(type))
                languages << s.tags["language"].toString();
        QCOMPARE(languages, (QStringList{"ger", "fra", "ces"}));
        QVERIFY2(job.notes().isEmpty(), qPrintable(job.notes().join('|')));
    }

    // A track whose language QuickTime's table lacks loses it there, and the note names each such
    // track, as ffprobe reads the result; an MP4 keeps every language.
    void lostLanguagesAreNamed()
    {
        Job movJob({}, {}, 0);
        const QString mov = Converter::convert(copy("reo.mkv", "reo mov"), "mov", movJob, {}).value(0);
        const Judge::File got = Judge::probe(mov);
        const QList<Judge::Stream> sound = got.of("audio");
        const QList<Judge::Stream> words = got.of("subtitle");
        QCOMPARE(sound.size(), 3);
        QCOMPARE(words.size(), 1);
        QCOMPARE(sound[2].tags["language"].toString(), "eng");
        QStringList lost;
        const QStringList names{"Maori", "Swedish", "English"};
        for (int k = 0; k < 3; ++k)
            if (sound[k].tags["language"].toString().isEmpty())
                lost << QStringLiteral(
                            "The sound track “%1” lost its language: QuickTime files can’t name %1")
                            .arg(names[k]);
        if (words[0].tags["language"].toString().isEmpty())
            lost << "The subtitles “Kupu” lost their language: QuickTime files can’t name Maori";
        QVERIFY(!lost.isEmpty());
        QCOMPARE(movJob.notes(), lost);

        Job mp4Job({}, {}, 0);
        const QString mp4 = Converter::convert(copy("reo.mkv", "reo mp4"), "mp4", mp4Job, {}).value(0);
        QStringList languages;
        for (const QString type : {"audio", "subtitle"})
            for (const Judge::Stream& s : Judge::probe(mp4).of(type))
                languages << s.tags["language"].toString();
        QCOMPARE(languages, (QStringList{"mri", "swe", "eng", "mri"}));
        QVERIFY2(mp4Job.notes().isEmpty(), qPrintable(mp4Job.notes().join('|')));
    }

    // An Opus book's chapters start where the source's do, to the millisecond, as ffprobe reads
    // them and as their comments say.
    void opusChaptersKeepTheirTimes()
    {
        Job job({}, {}, 0);
        const QString opus = Converter::convert(copy("book.m4a", "opus chapters"), "opus", job, {}).value(0);
        QProcess probe;
        probe.start("ffprobe", {"-v", "error", "-of", "json", "-show_chapters", opus});
        QVERIFY(probe.waitForFinished(60000));
        QStringList chapters;
        for (const QJsonValue& c :
             QJsonDocument::fromJson(probe.readAllStandardOutput())["chapters"].toArray())
            chapters << c["tags"]["title"].toString() + " " + c["start_time"].toString();
        QCOMPARE(chapters, (QStringList{"Intro 0.000000", "Main 1.500000", "End 2.750000"}));
        QFile file(opus);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray head = file.read(8192);
        for (const char* comment :
             {"CHAPTER001=00:00:01.500", "CHAPTER001NAME=Main", "CHAPTER002=00:00:02.750"})
            QVERIFY2(head.contains(comment), comment);
        QVERIFY2(job.notes().isEmpty(), qPrintable(job.notes().join('|')));
    }

    // Chapters are numbered and timed from the result's start: one that ends before it is left
    // out, one under way begins at 0, hours and minutes are counted out.
    void opusChapterComments()
    {
        const auto chapter = [](double start, double end, const QString& title) {
            return Chapters::Chapter{start, end, {{"title", title}}};
        };
        const QList<Chapters::Chapter> chapters{chapter(0, 1, "Before"), chapter(1, 2.5, "Under way"),
                                                chapter(2.5, 3725.5, {}), chapter(3725.5, 3726, "Late")};
        QCOMPARE(OggChapters::comments(chapters, 1.25),
                 (QStringList{"CHAPTER000=00:00:00.000", "CHAPTER000NAME=Under way",
                              "CHAPTER001=00:00:01.250", "CHAPTER002=01:02:04.250", "CHAPTER002NAME=Late"}));
    }

    // A second picture track goes only where the operation maps every one; elsewhere the note
    // names it. The cover stays a cover either way.
    void secondPicturesAreNamed()
    {
        Job converted({}, {}, 0);
        const QString mkv =
            Converter::convert(copy("angles.mp4", "angles to mkv"), "mkv", converted, {}).value(0);
        QCOMPARE(Judge::probe(mkv).of("video").size(), 1);
        QCOMPARE(converted.notes(),
                 QStringList{"The picture track “number 2” was left out: only the first one is kept"});
        Job muted({}, {}, 0);
        const QString quiet = InstantTools::mute(copy("angles.mp4", "angles muted"), muted, {}).value(0);
        const Judge::File got = Judge::probe(quiet);
        QCOMPARE(got.of("video").size(), 2);
        QCOMPARE(got.covers(), 1);
        QVERIFY2(muted.notes().isEmpty(), qPrintable(muted.notes().join('|')));
    }

    // A song's cover goes where the target holds one, and is named where it does not.
    void songCoversGoOrAreNamed_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("covers");
        QTest::addColumn<QStringList>("notes");
        for (const char* target : {"wav", "ogg"})
            QTest::newRow(target) << QString(target) << 0
                                  << QStringList{
                                         QStringLiteral("The cover picture was left out: %1 files written "
                                                        "here can’t hold it")
                                             .arg(QString(target).toUpper())};
        QTest::newRow("flac") << "flac" << 1 << QStringList{};
        // in the ID3 chunk it is written with
        QTest::newRow("aiff") << "aiff" << 1 << QStringList{};
    }
    void songCoversGoOrAreNamed()
    {
        QFETCH(QString, target);
        Job job({}, {}, 0);
        const QString result = Converter::convert(copy("covered.mp3", target), target, job, {}).value(0);
        QTEST(Judge::probe(result).covers(), "covers");
        QTEST(job.notes(), "notes");
    }

    // A Matroska or MP4 film whose times start at 5 s lasts 3 s, read in this process or by
    // ffprobe: both files state where they end, 8 s.
    void lateTimestampsLastTheirLength()
    {
        for (const QString name : {"late.mkv", "late.mp4"}) {
            const double read = Media::probe(path(name)).duration;
            const double probed = Media::probeWithFfprobe(path(name)).duration;
            QVERIFY2(qAbs(read - 3) < 0.05 && qAbs(probed - 3) < 0.05,
                     qPrintable(QStringLiteral("%1: %2, %3").arg(name).arg(read).arg(probed)));
        }
        QVERIFY(qAbs(Media::probe(path("plain.mkv")).duration - 3) < 0.05);
    }

    // A Matroska film whose times start at 5 s lasts 3 s, as its tracks' end times (5 s on) say:
    // every target holds all of it.
    void lateTimestampsConvertWhole_data()
    {
        QTest::addColumn<QString>("target");
        // A copy, a re-encode, a GIF and a song.
        for (const char* target : {"mp4", "avi", "gif", "mp3"})
            QTest::newRow(target) << QString(target);
    }
    void lateTimestampsConvertWhole()
    {
        QFETCH(QString, target);
        Job job({}, {}, 0);
        QString result;
        double progress = 0;
        try {
            result = Converter::convert(copy("late.mkv", target), target, job, [&](double f) {
                         progress = std::max(progress, f);
                     }).value(0);
        } catch (const ConvertError& e) {
            QFAIL(qPrintable(e.message()));
        }
        // Measured against the 3 s it lasts, the conversion's progress comes near its end.
        QVERIFY2(progress > 0.8, qPrintable(QString::number(progress)));
        QVERIFY2(Judge::decodeErrors(result).isEmpty(), qPrintable(Judge::decodeErrors(result)));
        const double length = Judge::probe(result).duration;
        QVERIFY2(qAbs(length - 3) < 0.2, qPrintable(QString::number(length)));
        QVERIFY2(job.notes().isEmpty(), qPrintable(job.notes().join('|')));
    }
};

QTEST_GUILESS_MAIN(MediaTracksTest)
#include "test_mediatracks.moc"
