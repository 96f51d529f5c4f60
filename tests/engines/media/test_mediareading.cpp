// The in-process reading of a media file stands in for ffprobe: the streams, chapters and probe it
// gives must be what ffprobe's output reads back as, over sources with side streams of every kind.

#include "engines/media/chapters.h"
#include "engines/media/libav.h"
#include "engines/media/media.h"
#include "engines/media/mediastreams.h"
#include "engines/media/wavereading.h"

#include "../../support/enginefixtures_a.h"

#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

using namespace Fixture;

namespace {

// Every field of a stream on one line, so that a difference names the stream and the field.
QString line(const Media::Stream& s)
{
    return QStringLiteral("#%1 kind %2 codec %3 tag %4 lang %5 title %6 cover %7 %8 rate %9 file %10 mime "
                          "%11 timecode %12")
        .arg(s.index)
        .arg(int(s.kind))
        .arg(s.codec, s.codecTag, s.language, s.title)
        .arg(s.cover ? "yes" : "no")
        .arg(QString(s.isDefault ? "default" : "-") + (s.forced ? " forced" : ""))
        .arg(s.sampleRate)
        .arg(s.fileName, s.mimeType, s.timecode);
}

QStringList lines(const QList<Media::Stream>& streams)
{
    QStringList out;
    for (const Media::Stream& s : streams)
        out << line(s);
    return out;
}

QStringList lines(const QList<Chapters::Chapter>& chapters)
{
    QStringList out;
    for (const Chapters::Chapter& c : chapters) {
        QString text = QStringLiteral("%1–%2").arg(c.start, 0, 'f', 6).arg(c.end, 0, 'f', 6);
        for (const auto& [key, value] : c.tags)
            text += QStringLiteral(" %1=%2").arg(key, value);
        out << text;
    }
    return out;
}

QString summary(const Media::Probe& p)
{
    return QStringLiteral("%1s %2/%3 %4x%5 %6fps %7ch %8Hz")
        .arg(QString::number(p.duration), p.videoCodec.value_or("-"), p.audioCodec.value_or("-"),
             QString::number(p.width), QString::number(p.height), QString::number(p.fps),
             QString::number(p.channels), QString::number(p.sampleRate));
}

} // namespace

class MediaReadingTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase()
    {
        QVERIFY(LibAv::available());
        QVERIFY(write(path("lines.srt"), "1\n00:00:00,500 --> 00:00:01,500\nHello\n\n"
                                         "2\n00:00:02,000 --> 00:00:03,000\nAgain\n"));
        QVERIFY(write(
            path("styled.ass"),
            "[Script Info]\nScriptType: v4.00+\nPlayResX: 320\nPlayResY: 240\n\n[V4+ Styles]\n"
            "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, "
            "BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, "
            "BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n"
            "Style: Sign,Sans,20,&H0000FFFF,&H000000FF,&H00000000,&H00000000,0,0,0,0,100,100,0,0,1,"
            "1,0,8,10,10,10,1\n\n[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, "
            "MarginV, Effect, Text\nDialogue: 0,0:00:00.50,0:00:02.00,Sign,,0,0,0,,{\\pos(160,40)}Exit\n"));
        QVERIFY(write(path("chapters.txt"),
                      ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1500\n"
                      "title=Opening\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=1500\nEND=3000\n"
                      "title=Main\nartist=Someone\n"));
        QVERIFY(write(path("font.ttf"), QByteArray(2048, 'f')));
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=96x96:d=1", "-frames:v", "1", path("cover.jpg")}));
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=96x96:d=1", "-frames:v", "1", path("cover.png")}));

        const QStringList picture{"-f", "lavfi", "-i", "testsrc2=s=160x120:r=25:d=3"};
        const QStringList twoSounds{"-f", "lavfi", "-i", "sine=f=440:d=3",
                                    "-f", "lavfi", "-i", "sine=f=660:d=2.5"};
        const QStringList languages{"-metadata:s:a:0", "language=eng", "-metadata:s:a:0", "title=Main",
                                    "-metadata:s:a:1", "language=deu", "-metadata:s:a:1", "title=Kommentar"};
        // B-frames, which an MP4 meets with an edit list; sound that starts late; two sound tracks
        // with languages, timed text, a cover and chapters.
        QVERIFY(ffmpeg(picture +
                       QStringList{"-f",
                                   "lavfi",
                                   "-i",
                                   "sine=f=440:d=3",
                                   "-itsoffset",
                                   "0.48",
                                   "-f",
                                   "lavfi",
                                   "-i",
                                   "sine=f=660:d=2.5",
                                   "-i",
                                   path("lines.srt"),
                                   "-i",
                                   path("cover.png"),
                                   "-f",
                                   "ffmetadata",
                                   "-i",
                                   path("chapters.txt"),
                                   "-map",
                                   "0",
                                   "-map",
                                   "1",
                                   "-map",
                                   "2",
                                   "-map",
                                   "3",
                                   "-map",
                                   "4",
                                   "-map_chapters",
                                   "5",
                                   "-c:v:0",
                                   "libx264",
                                   "-preset",
                                   "fast",
                                   "-bf",
                                   "2",
                                   "-pix_fmt",
                                   "yuv420p",
                                   "-c:v:1",
                                   "png",
                                   "-disposition:v:1",
                                   "attached_pic",
                                   "-c:a",
                                   "aac",
                                   "-c:s",
                                   "mov_text"} +
                       languages + QStringList{"-metadata:s:s:0", "language=fra", path("film.mp4")}));
        // A forced styled subtitle, a font and a cover as attachments, chapters.
        QVERIFY(ffmpeg(picture + twoSounds +
                       QStringList{"-i",
                                   path("styled.ass"),
                                   "-f",
                                   "ffmetadata",
                                   "-i",
                                   path("chapters.txt"),
                                   "-map",
                                   "0",
                                   "-map",
                                   "1",
                                   "-map",
                                   "2",
                                   "-map",
                                   "3",
                                   "-map_chapters",
                                   "4",
                                   "-c:v",
                                   "libx264",
                                   "-preset",
                                   "ultrafast",
                                   "-c:a",
                                   "libopus",
                                   "-c:s",
                                   "copy",
                                   "-disposition:s:0",
                                   "forced",
                                   "-attach",
                                   path("font.ttf"),
                                   "-metadata:s:t:0",
                                   "mimetype=application/x-truetype-font",
                                   "-attach",
                                   path("cover.jpg"),
                                   "-metadata:s:t:1",
                                   "mimetype=image/jpeg",
                                   "-metadata:s:t:1",
                                   "filename=cover.jpg"} +
                       languages + QStringList{path("film.mkv")}));
        // Timestamps that start 5 s in.
        QVERIFY(ffmpeg(picture + QStringList{"-f", "lavfi", "-i", "sine=d=3", "-c:v", "libx264", "-preset",
                                             "ultrafast", "-c:a", "aac", "-output_ts_offset", "5",
                                             path("late.mkv")}));
        // A timecode track beside a camera-like picture.
        QVERIFY(ffmpeg({"-f",
                        "lavfi",
                        "-i",
                        "testsrc2=s=160x120:r=30000/1001:d=2",
                        "-f",
                        "lavfi",
                        "-i",
                        "sine=d=2",
                        "-c:v",
                        "libx264",
                        "-preset",
                        "fast",
                        "-bf",
                        "3",
                        "-pix_fmt",
                        "yuv420p",
                        "-c:a",
                        "pcm_s16le",
                        "-timecode",
                        "10:00:00:00",
                        path("clock.mov")}));
        QVERIFY(ffmpeg(picture + QStringList{"-f", "lavfi", "-i", "sine=d=3", "-c:v", "libvpx-vp9",
                                             "-deadline", "realtime", "-c:a", "libopus", path("clip.webm")}));
        QVERIFY(ffmpeg(picture + QStringList{"-f", "lavfi", "-i", "sine=d=3", "-c:v", "mpeg2video", "-c:a",
                                             "mp2", path("clip.ts")}));
        // Songs: tags on the stream (Ogg) or the file, covers, an audiobook's chapters.
        const QStringList tone{"-f", "lavfi", "-i", "sine=d=2"};
        const QStringList tags{"-metadata",      "title=Song", "-metadata",
                               "artist=Someone", "-metadata",  "album=Album"};
        const QStringList cover{"-i",  path("cover.png"), "-map",        "0", "-map", "1", "-c:v",
                                "png", "-disposition:v",  "attached_pic"};
        QVERIFY(ffmpeg(tone + tags + QStringList{"-c:a", "libvorbis", path("song.ogg")}));
        QVERIFY(ffmpeg(tone + tags + QStringList{"-c:a", "libopus", path("song.opus")}));
        QVERIFY(ffmpeg(tone + cover + tags + QStringList{path("song.mp3")}));
        QVERIFY(ffmpeg(tone + cover + tags + QStringList{path("song.flac")}));
        QVERIFY(ffmpeg(tone + cover + tags + QStringList{"-write_id3v2", "1", path("song.aiff")}));
        QVERIFY(ffmpeg(tone + QStringList{"-f", "ffmetadata", "-i", path("chapters.txt"), "-map", "0",
                                          "-map_chapters", "1", "-c:a", "aac", path("book.m4a")}));
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "sine=d=1.5", "-af",
                        "pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0", path("surround.wav")}));
        QVERIFY(write(path("broken.mp4"), QByteArray(4096, 'x')));
    }

    // Every field the plans, arguments and checks use comes out as ffprobe's output reads back.
    void agreesWithFfprobe()
    {
        for (const QString name : {"film.mp4", "film.mkv", "late.mkv", "clock.mov", "clip.webm", "clip.ts",
                                   "song.ogg", "song.opus", "song.mp3", "song.flac", "song.aiff", "book.m4a",
                                   "surround.wav", "broken.mp4", "missing.mkv"}) {
            const std::optional<LibAv::Reading> reading = LibAv::read(path(name));
            QVERIFY(reading);
            const QStringList ours = QStringList{name} + lines(reading->streams) + lines(reading->chapters) +
                                     QStringList{summary(reading->probe)};
            const QStringList theirs =
                QStringList{name} +
                lines(Media::parseStreams(Media::probeJson(path(name), "-show_streams"))) +
                lines(Chapters::parse(Media::probeJson(path(name), "-show_chapters"))) +
                QStringList{summary(Media::probeWithFfprobe(path(name)))};
            QCOMPARE(ours, theirs);
            // Where the first stream begins: a late start moves an Opus result's chapters.
            const QString start =
                QJsonDocument::fromJson(Media::probeJson(path(name), "-show_format"))["format"]["start_time"]
                    .toString();
            QVERIFY2(std::abs(reading->start - start.toDouble()) < 1e-6,
                     qPrintable(QString("%1: %2 against %3").arg(name).arg(reading->start).arg(start)));
            QCOMPARE(lines(Media::streams(path(name))), lines(reading->streams));
            QCOMPARE(lines(Chapters::read(path(name))), lines(reading->chapters));
        }
    }

    // The sources hold what the comparison is meant to cover, so that it can't pass on less.
    void sourcesHoldTheirSideStreams()
    {
        const auto described = [&](const QString& name) {
            return lines(Media::streams(path(name))).join('\n');
        };
        const QString mkv = described("film.mkv");
        for (const QString part :
             {"codec ass tag [0][0][0][0] lang  title  cover no - forced", "lang deu title Kommentar",
              "cover yes", "file cover.jpg", "mime application/x-truetype-font", "codec opus"})
            QVERIFY2(mkv.contains(part), qPrintable(part + "\n" + mkv));
        QCOMPARE(Chapters::read(path("film.mkv")).value(1).tags,
                 (QList<std::pair<QString, QString>>{{"ARTIST", "Someone"}, {"title", "Main"}}));
        const QString mp4 = described("film.mp4");
        for (const QString part : {"codec mov_text tag tx3g lang fra", "codec png", "cover yes", "lang eng"})
            QVERIFY2(mp4.contains(part), qPrintable(part + "\n" + mp4));
        QVERIFY2(described("clock.mov").contains("tag tmcd"), qPrintable(described("clock.mov")));
        QVERIFY2(described("song.aiff").contains("cover yes"), qPrintable(described("song.aiff")));
        QCOMPARE(Media::probe(path("surround.wav")).channels, 6);
        QVERIFY(Media::streams(path("broken.mp4")).isEmpty());
    }

    // A WAVE file of plain samples, as ffmpeg, sox and a field recorder write it, is read from its
    // header as the libraries read it; any other it leaves to them.
    void waveHeadersReadAsTheLibrariesRead()
    {
        QTemporaryDir dir;
        const auto at = [&](const QString& name) { return dir.filePath(name); };
        const QStringList tone{"-f", "lavfi", "-i", "sine=f=330:d=1.37", "-ac", "2"};
        const auto encoded = [&](const QString& name, const QStringList& args) {
            return ffmpeg(tone + args + QStringList{at(name)});
        };
        const auto sox = [&](const QString& name, const QStringList& args) {
            return QProcess::execute("sox", QStringList{"-n"} + args +
                                                QStringList{at(name), "synth", "1.37", "sine", "200:1200"}) ==
                   0;
        };
        // What ffmpeg writes: every sample coding, tags, more channels than two (an extended
        // format), a broadcast chunk, an odd-sized data chunk with its pad byte.
        QVERIFY(encoded("s16.wav", {"-metadata", "title=Take", "-metadata", "artist=Someone"}));
        QVERIFY(encoded("bare.wav", {"-bitexact", "-fflags", "+bitexact"}));
        QVERIFY(encoded("u8.wav", {"-c:a", "pcm_u8", "-ac", "1", "-ar", "11025"}));
        for (const QString codec :
             {"pcm_s24le", "pcm_s32le", "pcm_f32le", "pcm_f64le", "pcm_alaw", "pcm_mulaw"})
            QVERIFY(encoded(codec + ".wav", {"-c:a", codec, "-ar", "8000"}));
        QVERIFY(encoded("surround.wav", {"-af", "pan=5.1|c0=c0|c1=c1|c2=c0|c3=c1|c4=c0|c5=c1"}));
        QVERIFY(encoded("bext.wav", {"-c:a", "pcm_s24le", "-write_bext", "1", "-metadata",
                                     "originator=Recorder", "-metadata", "time_reference=1728000000"}));
        // What sox writes: an extended format for 24 bits and for six channels.
        QVERIFY(sox("deep.wav", {"-r", "96000", "-c", "2", "-b", "24"}));
        QVERIFY(sox("six.wav", {"-r", "48000", "-c", "6", "-b", "16"}));
        QVERIFY(sox("byte.wav", {"-r", "22050", "-c", "1", "-b", "8"}));
        QVERIFY(sox("ulaw.wav", {"-r", "8000", "-c", "1", "-e", "u-law"}));
        QVERIFY(sox("float.wav", {"-r", "44100", "-c", "2", "-e", "floating-point", "-b", "32"}));

        // What only the libraries read right: a file cut off before the end of its samples, cue
        // marks (chapters), an ID3 chunk (lyrics), S/PDIF bursts of AC-3 dressed as 16-bit stereo.
        // Without tags of its own, which would hide an ID3 chunk's.
        QFile source(at("bare.wav"));
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QByteArray whole = source.readAll();
        QVERIFY(write(at("cut.wav"), whole.left(whole.size() - 4000)));
        const auto chunk = [](const QByteArray& id, const QByteArray& body) {
            QByteArray bytes = id;
            const quint32 size = qToLittleEndian(quint32(body.size()));
            bytes.append(reinterpret_cast<const char*>(&size), 4).append(body);
            return body.size() % 2 ? bytes + '\0' : bytes;
        };
        const auto withChunk = [&](const QByteArray& added) {
            QByteArray bytes = whole + added;
            const quint32 size = qToLittleEndian(quint32(bytes.size() - 8));
            return bytes.replace(4, 4, reinterpret_cast<const char*>(&size), 4);
        };
        QByteArray cue = QByteArray::fromHex("01000000") + QByteArray::fromHex("0100000000000000") + "data" +
                         QByteArray(12, '\0');
        QVERIFY(write(at("cue.wav"), withChunk(chunk("cue ", cue))));
        const QByteArray text = QByteArray(1, '\0') + "eng" + '\0' + "La la la la";
        const QByteArray frame =
            "USLT" + QByteArray::fromHex("000000") + char(text.size()) + QByteArray(2, '\0') + text;
        const QByteArray id3 = "ID3" + QByteArray::fromHex("030000000000") + char(frame.size()) + frame;
        QVERIFY(write(at("id3.wav"), withChunk(chunk("id3 ", id3))));
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "sine=d=1.37", "-ac", "2", "-ar", "48000", "-c:a", "ac3", "-f",
                        "spdif", at("bursts.spdif")}));
        QVERIFY(ffmpeg({"-f", "s16le", "-ar", "48000", "-ac", "2", "-i", at("bursts.spdif"), "-c", "copy",
                        at("spdif.wav")}));

        const QStringList fromHeader{"s16.wav",       "bare.wav",      "u8.wav",        "pcm_s24le.wav",
                                     "pcm_s32le.wav", "pcm_f32le.wav", "pcm_f64le.wav", "pcm_alaw.wav",
                                     "pcm_mulaw.wav", "surround.wav",  "bext.wav",      "deep.wav",
                                     "six.wav",       "byte.wav",      "ulaw.wav",      "float.wav"};
        for (const QString& name : fromHeader + QStringList{"cut.wav", "cue.wav", "id3.wav", "spdif.wav"}) {
            const std::optional<LibAv::Reading> header = WaveReading::read(at(name));
            QVERIFY2(header.has_value() == fromHeader.contains(name), qPrintable(name));
            if (!header) continue;
            const LibAv::Reading theirs = *LibAv::read(at(name));
            const auto all = [&](const LibAv::Reading& r) {
                QStringList out = QStringList{name, summary(r.probe), r.probe.lyrics} + lines(r.streams) +
                                  lines(r.chapters);
                for (const Media::Stream& s : r.streams)
                    out << QStringLiteral("bits %1").arg(s.bits);
                return out << QString::number(r.start) << QString::number(r.pictureDelay)
                           << QString::number(r.videoSeconds);
            };
            QCOMPARE(all(*header), all(theirs));
            // To the bit: the checks compare lengths within a sample.
            QCOMPARE(header->probe.duration, theirs.probe.duration);
            QCOMPARE(header->audioSeconds, theirs.audioSeconds);
        }
        // What the libraries found where the header was left alone, so that those rows test something.
        QCOMPARE(LibAv::read(at("cue.wav"))->chapters.size(), 1);
        QCOMPARE(LibAv::read(at("id3.wav"))->probe.lyrics, "La la la la");
        QCOMPARE(LibAv::read(at("spdif.wav"))->probe.audioCodec, "ac3");
        QVERIFY(LibAv::read(at("cut.wav"))->probe.duration < 1.36);
    }

    // A reading kept for a file is never handed out once the file has changed, even to the
    // same size.
    void aChangedFileIsReadAgain()
    {
        const QString file = path("changing.wav");
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "sine=d=1:sample_rate=22050", "-ac", "2", file}));
        QCOMPARE(LibAv::read(file)->probe.sampleRate, 22050);
        // The same size and place, other sound: a mono file of twice the rate.
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "sine=d=1:sample_rate=44100", "-ac", "1", path("other.wav")}));
        QCOMPARE(QFileInfo(path("other.wav")).size(), QFileInfo(file).size());
        QFile in(path("other.wav")), out(file);
        QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::ReadWrite));
        QVERIFY(out.write(in.readAll()) == in.size() && out.flush());
        out.close();
        QCOMPARE(LibAv::read(file)->probe.sampleRate, 44100);
        QCOMPARE(LibAv::read(file)->probe.channels, 1);
        // A file put in its place by a rename.
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "sine=d=2", "-c:a", "flac", path("new.flac")}));
        QVERIFY(QFile::remove(file) && QFile::rename(path("new.flac"), file));
        QCOMPARE(LibAv::read(file)->probe.audioCodec, "flac");
    }
};

QTEST_MAIN(MediaReadingTest)
#include "test_mediareading.moc"
