// The judge's films converted to every video container and to MP3, each result judged against its
// source by ffprobe and an ffmpeg decode: whole, in step, as long as its source, with every
// stream its container holds and a note for the rest.

#include "../../support/mediabench.h"

#include "engines/media/libav.h"

#include <QtTest>

namespace {

const Judge::Row rows[] = {
    {"film.mp4", "mov mkv webm avi wmv gif mp3"},
    {"film.mkv", "mp4 mov webm avi wmv gif mp3"},
    {"camera.mov", "mp4 mkv webm avi wmv gif mp3"},
    {"web.webm", "mp4 mov mkv avi wmv gif mp3"},
    {"old.avi", "mp4 mov mkv webm wmv gif mp3"},
    {"anim.mov", "mp4 mkv webm avi gif"},
    {"late.mp4", "mov mkv webm avi wmv mp3"},
    {"short.mkv", "mp4 webm avi mp3"},
    {"vfr.mp4", "mkv webm avi wmv gif"},
    {"offset.mkv", "mp4 webm avi mp3"},
    {"offset.mp4", "mkv webm avi"},
    {"cut.mkv", "mp4 webm mp3"},
    // Films of the kinds phones, cameras, television and downloads give.
    {"phone.mov", "mp4 mkv gif"},
    {"phone.mp4", "mov"},
    {"hevc.mp4", "mov mkv"},
    {"deep.mkv", "mp4"},
    {"av1.webm", "mp4 mkv"},
    {"vp8.webm", "mkv"},
    {"xvid.avi", "mp4 mkv"},
    {"old.wmv", "mp4 mkv"},
    // Films other programs made: mkvmerge (raw H.264, Opus and Vorbis, a track moved by --sync that
    // ends after the rest), GStreamer's muxers, a cut by stream copy (an edit list), fragments,
    // a second sound track longer than the first, a timecode on a picture that starts late.
    {"merged.mkv", "mp4 webm mp3"},
    {"dubbed.mkv", "mp4 mov avi"},
    {"gst.mp4", "mkv"},
    {"gst.mov", "mkv"},
    {"gst.mkv", "mp4 webm"},
    {"gst.webm", "mp4"},
    {"editlist.mp4", "mov"},
    {"frag.mp4", "mkv"},
    {"tracks.mp4", "mov webm avi"},
    {"stamped.mkv", "mov"},
};

// Conversions that are a plain stream copy, made in this process without ffmpeg: Matroska without
// decoding times, edit lists, fragments, times that start late or early, a sound track longer than
// the picture, chapters, HEVC tagged hvc1, a picture turned by its display matrix, and files other
// programs muxed.
const Judge::Row plainCopies[] = {
    {"late.mp4", "mov mkv"},   {"late.mkv", "mp4"},    {"short.mkv", "mp4"},    {"vfr.mp4", "mkv"},
    {"offset.mkv", "mp4"},     {"offset.mp4", "mkv"},  {"long.mkv", "mp4"},     {"long.webm", "mkv webm"},
    {"reel.mkv", "mp4"},       {"cut.mkv", "mp4"},     {"hevc.mp4", "mov mkv"}, {"av1.webm", "mkv"},
    {"vp8.webm", "mkv"},       {"gst.mp4", "mkv mov"}, {"gst.mov", "mkv"},      {"gst.webm", "mkv"},
    {"plain.mkv", "mp4"},      {"remux.mkv", "mp4"},   {"editlist.mp4", "mov"}, {"frag.mp4", "mkv"},
    {"tracks.mp4", "mov mkv"}, {"turned.mp4", "mov"},  {"hevc.mkv", "mp4 mov"},
};

// What ffprobe reads of a file: every packet, stream, chapter and tag, the file's name aside.
QStringList described(const QString& file)
{
    QProcess p;
    p.start("ffprobe",
            {"-v", "error", "-show_packets", "-show_streams", "-show_format", "-show_chapters", file});
    if (!p.waitForFinished(60000)) return {"ffprobe did not finish"};
    return QString::fromUtf8(p.readAllStandardOutput())
        .split('\n')
        .filter(QRegularExpression("^(?!filename=)"));
}

} // namespace

class JudgeFilmsTest : public QObject
{
    Q_OBJECT
    Judge::Bench m_bench;

  private slots:
    void initTestCase()
    {
        QStringList sources = Judge::sourcesOf(rows) + Judge::sourcesOf(plainCopies);
        sources.removeDuplicates();
        QVERIFY(m_bench.make(sources));
    }

    void conversion_data() { Judge::addRows(rows, {}, true); }

    void conversion() { Judge::judgeRow(m_bench); }

    // The copy made in this process equals the ffmpeg program's with the same arguments, packet
    // for packet.
    void copySameAsFfmpeg_data() { Judge::addRows(plainCopies, {}, true); }
    void copySameAsFfmpeg()
    {
        QFETCH(QString, source);
        QFETCH(QString, operation);
        const QString from = m_bench.sourcePath(source);
        QVERIFY(QFile::exists(from));
        QTemporaryDir folder;
        const QString ours = folder.filePath("ours." + operation),
                      theirs = folder.filePath("theirs." + operation);
        const QStringList args = Media::conversionArgs(from, theirs, false, operation,
                                                       LibAv::read(from)->probe, ToolArgs::Extras{});
        QVERIFY2(args.join(' ').contains("-c copy"), qPrintable(args.join(' ')));
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg", QStringList{"-nostdin", "-v", "error", "-y"} + args);
        QVERIFY(ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0);
        const LibAv::CopyOptions options{.hvc1 = args.contains("hvc1"),
                                         .faststart = args.contains("+faststart")};
        QVERIFY(LibAv::remux(from, ours, operation, options, nullptr, {}, 0));
        QCOMPARE(described(ours), described(theirs));
    }
};

QTEST_MAIN(JudgeFilmsTest)
#include "test_judgefilms.moc"
