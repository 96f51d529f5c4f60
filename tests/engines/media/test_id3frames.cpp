// A song's comment and lyrics reach an MP3 or AIFF result in the ID3 frames players read (COMM
// and USLT), from songs that taggers wrote (flac, lame and mid3v2) and from the Metadata window's
// Comments, as exiftool reads them; an MP3's lyrics reach other containers as their "lyrics". The rewriting
// itself on hand-made tags: ID3v2.3 in UTF-16, a language, a frame already there, a second comment, and tags
// it must leave as they are.

#include "core/job.h"
#include "engines/media/id3frames.h"
#include "engines/media/media.h"
#include "engines/metadata/mediametadata.h"

#include "../../support/enginefixtures_a.h"
#include "../../support/programoutput.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

bool run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// exiftool's reading of every tag in `path`, one "[group] name : value" a line.
QString tagsOf(const QString& path)
{
    return programOutput("exiftool", {"-a", "-G1", "-u", path});
}

// Whether exiftool read `name` with `value` in an ID3 tag of `path`'s.
bool id3Holds(const QString& tags, const QString& name, const QString& value)
{
    return QRegularExpression(QString("^\\[ID3v2_\\d\\] +%1 +: %2$")
                                  .arg(QRegularExpression::escape(name), QRegularExpression::escape(value)),
                              QRegularExpression::MultilineOption)
        .match(tags)
        .hasMatch();
}

QByteArray sizeBytes(int size, bool syncsafe)
{
    QByteArray b(4, '\0');
    for (int i = 3; i >= 0; --i, size >>= syncsafe ? 7 : 8)
        b[i] = char(size & (syncsafe ? 0x7f : 0xff));
    return b;
}

// A frame as ID3v2.`version` writes it, with `flags` as its second flags byte.
QByteArray frame(const char* id, const QByteArray& data, int version, char flags = 0)
{
    return QByteArray(id) + sizeBytes(int(data.size()), version == 4) + QByteArray(1, '\0') +
           QByteArray(1, flags) + data;
}

QByteArray tag(const QByteArray& frames, int version, int padding, char flags = 0)
{
    const QByteArray body = frames + QByteArray(padding, '\0');
    return QByteArray("ID3") + char(version) + '\0' + flags + sizeBytes(int(body.size()), true) + body;
}

// The tag `like` is mended into: `frames`, then padding up to its size.
QByteArray sameSize(const QByteArray& frames, int version, const QByteArray& like)
{
    return tag(frames, version, int(like.size() - 10 - frames.size()));
}

QByteArray utf16(const QString& text)
{
    return QByteArray("\xff\xfe", 2) +
           QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

} // namespace

class Id3FramesTest : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase()
    {
        for (const QString program : {"ffmpeg", "exiftool", "flac", "lame", "mid3v2"})
            QVERIFY2(!QStandardPaths::findExecutable(program).isEmpty(), qPrintable(program));
    }

    void taggersCommentsAndLyricsReachPlayers()
    {
        QTemporaryDir dir;
        const QString wav = dir.filePath("take.wav"), comment = "Grüße aus Köln, 東京", lyrics = "La la la";
        QVERIFY(run("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "sine=d=1", "-ac", "2", wav}));
        // flac writes Vorbis comments COMMENT and LYRICS; lame and mid3v2 write ID3 COMM and USLT.
        QVERIFY(QDir().mkpath(dir.filePath("flac")) && QDir().mkpath(dir.filePath("mp3")));
        const QString flac = dir.filePath("flac/song.flac"), mp3 = dir.filePath("mp3/song.mp3");
        QVERIFY(run("flac", {"-s", "-T", "TITLE=Night", "-T", "COMMENT=" + comment, "-T", "LYRICS=" + lyrics,
                             wav, "-o", flac}));
        QVERIFY(run("lame", {"--quiet", "--tt", "Night", wav, mp3}));
        QVERIFY(run("mid3v2", {"--COMM", comment, "--USLT", lyrics, mp3}));

        for (const auto& [source, target] : {std::pair{flac, "mp3"}, {flac, "aiff"}, {mp3, "aiff"}}) {
            const QString row = QFileInfo(source).suffix() + " to " + target;
            Job job(QString(), QString(), 0);
            const QString out = Converter::convert(source, target, job, {}).value(0);
            QVERIFY2(!out.isEmpty(), qPrintable(row));
            const QString tags = tagsOf(out);
            QVERIFY2(id3Holds(tags, "Title", "Night"), qPrintable(row + "\n" + tags));
            QVERIFY2(id3Holds(tags, "Comment", comment), qPrintable(row + "\n" + tags));
            QVERIFY2(id3Holds(tags, "Lyrics", lyrics), qPrintable(row + "\n" + tags));
            QVERIFY2(!tags.contains("User Defined Text"), qPrintable(row + "\n" + tags));
            // Each once in the tag: the user-defined frames are gone, not doubled.
            const QString id3 = tags.split('\n').filter(QRegularExpression("^\\[ID3v2_")).join('\n');
            QCOMPARE(id3.count(comment), 1);
            QCOMPARE(id3.count(lyrics), 1);
            // ffmpeg reads the result's tag as a whole.
            QVERIFY2(programOutput("ffprobe", {"-v", "error", "-show_entries", "format_tags=comment", "-of",
                                               "default=nw=1", out})
                         .contains("TAG:comment=" + comment),
                     qPrintable(row));
            QVERIFY2(run("ffmpeg", {"-v", "error", "-i", out, "-f", "null", "-"}), qPrintable(row));
        }
    }

    // ffmpeg names an ID3 tag's lyrics by their language, a name no other container's players know.
    void lyricsReachOtherContainers()
    {
        QTemporaryDir dir;
        const QString wav = dir.filePath("take.wav"), mp3 = dir.filePath("song.mp3"),
                      lyrics = "Näher, mein Gott";
        QVERIFY(run("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "sine=d=1", wav}));
        QVERIFY(run("lame", {"--quiet", "--tt", "Night", wav, mp3}));
        QVERIFY(run("mid3v2", {"--USLT", ":" + lyrics + ":deu", mp3}));
        QVERIFY2(tagsOf(mp3).contains("Lyrics (deu)"), qPrintable(tagsOf(mp3)));
        for (const auto& [target, group] : {std::pair{"m4a", "ItemList"},
                                            {"flac", "Vorbis"},
                                            {"ogg", "Vorbis"},
                                            {"opus", "Vorbis"},
                                            {"mp3", "ID3v2_4"}}) {
            Job job(QString(), QString(), 0);
            // An MP3 isn't converted to MP3; Trim Audio writes one, through the same runs, and
            // is asked for here by its arguments.
            const QString out = QString(target) == "mp3" ? dir.filePath("again.mp3")
                                                         : Converter::convert(mp3, target, job, {}).value(0);
            if (QString(target) == "mp3")
                QVERIFY(
                    Media::ffmpeg({"-i", mp3, "-t", "0.5", "-map_metadata", "0", out}, 0.5, &job, {}).ended);
            const QString tags = tagsOf(out);
            const QString expected = QString(target) == "mp3" ? "Lyrics (deu)" : "Lyrics";
            QVERIFY2(QRegularExpression(QString("^\\[%1\\] +%2 +: %3$")
                                            .arg(group, QRegularExpression::escape(expected),
                                                 QRegularExpression::escape(lyrics)),
                                        QRegularExpression::MultilineOption)
                         .match(tags)
                         .hasMatch(),
                     qPrintable(QString(target) + "\n" + tags));
            QCOMPARE(tags.count(lyrics), 1);
        }
    }

    // The Comments the window edits land where players show them, and read back the same.
    void metadataCommentsReachPlayers()
    {
        QTemporaryDir dir;
        const QString wav = dir.filePath("take.wav"), mp3 = dir.filePath("song.mp3"),
                      out = dir.filePath("out.mp3");
        QVERIFY(run("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "sine=d=1", wav}));
        QVERIFY(run("lame", {"--quiet", "--tt", "Night", wav, mp3}));
        QVERIFY(run("mid3v2", {"--COMM", "old", mp3}));
        QList<MetaField> fields = MetadataEngine::mediaFields(mp3);
        for (MetaField& f : fields)
            if (f.key == QLatin1String("comment")) f.value = "Neu: Grüße";
        Job job(QString(), QString(), 0);
        MetadataEngine::writeMedia(mp3, out, fields, false, job);
        const QString tags = tagsOf(out);
        QVERIFY2(id3Holds(tags, "Comment", "Neu: Grüße"), qPrintable(tags));
        QVERIFY2(!tags.contains("User Defined Text"), qPrintable(tags));
        QVERIFY2(id3Holds(tags, "Title", "Night"), qPrintable(tags));
        for (const MetaField& f : MetadataEngine::mediaFields(out))
            if (f.key == QLatin1String("comment")) QCOMPARE(f.value, QString("Neu: Grüße"));
    }

    void rewritesTheFrames_data()
    {
        QTest::addColumn<QByteArray>("in");
        QTest::addColumn<QByteArray>("out"); // empty: left as it is
        const QByteArray title4 = frame("TIT2", QByteArray("\x03Night", 6), 4);
        const QByteArray grusse = QString("Grüße").toUtf8();
        const auto row = [](const char* name, const QByteArray& in, const QByteArray& frames, int version) {
            QTest::newRow(name) << in << (frames.isEmpty() ? QByteArray() : sameSize(frames, version, in));
        };
        row("UTF-8 comment, ID3v2.4",
            tag(title4 + frame("TXXX",
                               "\x03"
                               "comment" +
                                   QByteArray(1, '\0') + grusse + '\0',
                               4),
                4, 10),
            title4 + frame("COMM",
                           "\x03"
                           "eng" +
                               QByteArray(1, '\0') + grusse,
                           4),
            4);
        row("UTF-16 comment, ID3v2.3, a size past 127",
            tag(frame("TXXX", "\x01" + utf16("Comment") + QByteArray(2, '\0') + utf16(QString(80, 'x')), 3),
                3, 4),
            frame("COMM",
                  "\x01"
                  "eng" +
                      QByteArray(2, '\0') + utf16(QString(80, 'x')),
                  3),
            3);
        row("lyrics with their language",
            tag(frame("TXXX", QByteArray("\0lyrics-deu\0la", 14), 4) + title4, 4, 0),
            frame("USLT", QByteArray("\0deu\0la", 7), 4) + title4, 4);
        row("lyrics named by their frame", tag(frame("TXXX", QByteArray("\0USLT\0la\0", 9), 4), 4, 2),
            frame("USLT", QByteArray("\0eng\0la", 7), 4), 4);
        row("a second comment stays user-defined",
            tag(frame("TXXX", QByteArray("\0comment\0a", 10), 4) +
                    frame("TXXX", QByteArray("\0COMMENT\0b", 10), 4),
                4, 0),
            frame("COMM", QByteArray("\0eng\0a", 6), 4) + frame("TXXX", QByteArray("\0COMMENT\0b", 10), 4),
            4);
        row("a comment frame already there",
            tag(frame("COMM", QByteArray("\0eng\0a", 6), 4) +
                    frame("TXXX", QByteArray("\0comment\0b", 10), 4),
                4, 0),
            {}, 4);
        row("another user-defined text", tag(frame("TXXX", QByteArray("\0ID3v1 Comment\0b", 16), 4), 4, 0),
            {}, 4);
        row("a compressed frame", tag(frame("TXXX", QByteArray("\0comment\0a", 10), 4, 0x08), 4, 0), {}, 4);
        row("an unsynchronised tag", tag(frame("TXXX", QByteArray("\0comment\0a", 10), 4), 4, 0, char(0x80)),
            {}, 4);
        QByteArray pastItsEnd = tag(frame("TXXX", QByteArray("\0comment\0a", 10), 4), 4, 0);
        pastItsEnd[17] = 40;
        row("a frame that runs past the tag", pastItsEnd, {}, 4);
        row("a description without its end",
            tag(frame("TXXX",
                      QByteArray("\x01\xff\xfe"
                                 "c\0o\0m",
                                 8),
                      4),
                4, 0),
            {}, 4);
        QByteArray notPadding = tag(frame("TXXX", QByteArray("\0comment\0a", 10), 4), 4, 3);
        notPadding[notPadding.size() - 1] = 'x';
        row("bytes in the padding", notPadding, {}, 4);
        row("a tag longer than it says", tag(frame("TXXX", QByteArray("\0comment\0a", 10), 4), 4, 3) + "x",
            {}, 4);
    }

    void rewritesTheFrames()
    {
        QFETCH(QByteArray, in);
        QFETCH(QByteArray, out);
        const std::optional<QByteArray> mended = Id3Frames::mended(in);
        QCOMPARE(mended.value_or(QByteArray()).toHex(' '), out.toHex(' '));
    }

    // A tag cut short by its file, a file with no tag, and a tag mended in place, the rest of the
    // file as it was.
    void mendsFilesInPlace()
    {
        QTemporaryDir dir;
        const QByteArray audio(3000, '\x55');
        const auto write = [&](const QString& name, const QByteArray& bytes) {
            QFile f(dir.filePath(name));
            return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? f.fileName() : QString();
        };
        const auto read = [](const QString& path) {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        const QByteArray before = tag(frame("TXXX", QByteArray("\0comment\0a", 10), 4), 4, 0);
        const QString whole = write("whole.mp3", before + audio);
        Id3Frames::mendFile(whole);
        QCOMPARE(read(whole).toHex(),
                 (tag(frame("COMM", QByteArray("\0eng\0a", 6), 4), 4, 4) + audio).toHex());
        const QString cut = write("cut.mp3", before.left(15));
        Id3Frames::mendFile(cut);
        QCOMPARE(read(cut), before.left(15));
        const QByteArray wave = "RIFF" + QByteArray(3000, 'a');
        const QString other = write("other.mp3", wave);
        Id3Frames::mendFile(other);
        QCOMPARE(read(other), wave);
        QVERIFY_THROWS_EXCEPTION(ConvertError, Id3Frames::mendFile(dir.filePath("gone.mp3")));
    }
};

QTEST_MAIN(Id3FramesTest)
#include "test_id3frames.moc"
