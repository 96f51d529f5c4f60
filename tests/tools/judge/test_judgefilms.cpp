// The judge's films converted to every video container and to MP3, each result judged against its
// source by ffprobe and an ffmpeg decode: whole, in step, as long as its source, with every
// stream its container holds and a note for the rest.

#include "../../support/mediabench.h"

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
    {"editlist.mp4", "mkv mov"},
    {"frag.mp4", "mkv"},
    {"tracks.mp4", "mov webm avi"},
    {"stamped.mkv", "mov"},
};

} // namespace

class JudgeFilmsTest : public QObject
{
    Q_OBJECT
    Judge::Bench m_bench;

  private slots:
    void initTestCase() { QVERIFY(m_bench.make(Judge::sourcesOf(rows))); }

    void conversion_data() { Judge::addRows(rows, {}, true); }

    void conversion() { Judge::judgeRow(m_bench); }
};

QTEST_MAIN(JudgeFilmsTest)
#include "test_judgefilms.moc"
