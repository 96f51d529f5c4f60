// Trims, splits, joins and snapshots of the judge's films, re-encoded and by stream copy, each
// result judged against its source by ffprobe and an ffmpeg decode: it begins with the picture
// shown at the start asked for (a fast cut: at the key frame at or before it), lasts as long as
// asked, keeps its sound in step and its subtitles, chapters and timecode where its picture is.

#include "../../support/mediabench.h"

#include <QtTest>

namespace {

const Judge::Row rows[] = {
    {"film.mp4", "trim 1.03 2.97"},
    {"film.mp4", "trim fast 1.2 2.8"},
    {"film.mp4", "split 0 2 2 4"},
    {"film.mp4", "split fast 0 2 2 4"},
    {"film.mp4", "snapshots 0.5 2.02"},
    {"film.mkv", "trim 1.03 2.97"},
    {"film.mkv", "trim fast 1.2 2.8"},
    {"film.mkv", "split 0 2 2 4"},
    {"film.mkv", "split fast 0 2 2 4"},
    {"film.mkv", "join late.mp4"},
    {"film.mp4", "join late.mkv"},
    {"camera.mov", "trim 1.97 3.5"},
    {"camera.mov", "trim fast 2 3.5"},
    {"camera.mov", "split 0 1.97 1.97 4"},
    {"web.webm", "trim 0.5 2.5"},
    {"web.webm", "trim fast 1.02 2.5"},
    {"web.webm", "split fast 0 1.5 1.5 3"},
    {"late.mp4", "trim 0.2 2.5"},
    {"late.mp4", "trim fast 0.2 3"},
    {"late.mp4", "split 0 1 1 3"},
    {"long.mkv", "trim 4.1 5.5"},
    {"long.mkv", "trim fast 4.1 5.5"},
    {"long.mkv", "trim fast 2 5"},
    {"long.mkv", "split fast 0 4.1 4.1 6"},
    {"long.webm", "trim fast 4.1 5.5"},
    {"long.mp4", "trim fast 4.1 5.5"},
    {"long.mp4", "trim fast 2.3 5.7"},
    {"vfr.mp4", "trim 0.5 2.5"},
    {"vfr.mp4", "split fast 0 1.5 1.5 3"},
    {"short.mkv", "trim 1 2.8"},
    {"old.avi", "trim 0.5 2.5"},
    {"anim.mov", "trim 0.5 1.5"},
    {"anim.mov", "trim fast 0.5 1.5"},
    {"offset.mkv", "trim 1 2.5"},
    {"offset.mp4", "trim fast 1 2.5"},
    {"cut.mkv", "trim 0.5 1.5"},
    // Fast cuts that start less than ffmpeg's seek margin after a key frame of a film with B-frames.
    {"film.mp4", "trim fast 1.05 2.8"},
    {"camera.mov", "split fast 0 1.05 1.05 4"},
    {"film.mkv", "split fast 0 1.05 1.05 4"},
    // Fast cuts that end among the frames B-frames hold back: a copy stops in decoding order.
    {"camera.mov", "trim fast 2 3.3"},
    {"film.mp4", "split fast 0 1.3 1.3 3.7"},
    {"vfr.mp4", "trim fast 0.5 2.2"},
    {"late.mkv", "trim fast 0.2 2.3"},
    {"reel.mkv", "trim fast 2.5 10.3"},
    {"reel.mkv", "split fast 0 5.3 5.3 11.1"},
    {"reel.mp4", "trim fast 2.5 10.3"},
    // Films of the kinds phones, cameras, television and downloads give: turned, HEVC, 10-bit,
    // AV1, VP8 with Vorbis, MPEG-4 Part 2 in AVI with B-frames, Windows Media with its index.
    {"phone.mov", "trim 0.5 2.5"},
    {"phone.mov", "trim fast 1 2.5"},
    {"phone.mov", "snapshots 0.5 2.02"},
    {"hevc.mp4", "trim fast 1.2 2.5"},
    {"deep.mkv", "trim 0.5 2.5"},
    {"av1.webm", "trim fast 1.2 2.5"},
    {"vp8.webm", "trim fast 1.2 2.5"},
    {"xvid.avi", "trim fast 1.2 2.5"},
    {"xvid.avi", "split fast 0 1 1 3"},
    {"old.wmv", "trim fast 2.3 3.5"},
    // Films other programs made: Matroska without decoding times (mkvmerge's, GStreamer's), Opus
    // with its pre-skip first and second, an edit list, fragments, a second sound track that ends
    // later, a timecode on a picture that starts late.
    {"merged.mkv", "trim fast 1.3 3.5"},
    {"merged.mkv", "trim 0 3"},
    {"merged.mkv", "split fast 0 2.1 2.1 4"},
    {"dubbed.mkv", "trim 0 3"},
    {"dubbed.mkv", "trim fast 1.3 3.5"},
    {"gst.mkv", "trim fast 3.3 4.5"},
    {"gst.mkv", "split 0 2.5 2.5 5"},
    {"gst.mp4", "trim fast 1.3 3.5"},
    {"plain.mkv", "trim fast 1.3 3.5"},
    {"plain.mkv", "split fast 0 2.2 2.2 4"},
    {"remux.mkv", "trim fast 3.3 4.5"},
    {"remux.mkv", "split fast 0 1.3 1.3 5"},
    {"editlist.mp4", "trim fast 1.2 3"},
    {"editlist.mp4", "trim 0.5 2.5"},
    {"frag.mp4", "trim fast 1.2 3"},
    {"tracks.mp4", "trim 1 4"},
    {"stamped.mkv", "trim 1.5 3"},
    {"stamped.mkv", "trim fast 2.1 3.5"},
};

} // namespace

class JudgeCutsTest : public QObject
{
    Q_OBJECT
    Judge::Bench m_bench;

  private slots:
    void initTestCase() { QVERIFY(m_bench.make(Judge::sourcesOf(rows))); }

    void cut_data() { Judge::addRows(rows); }

    void cut() { Judge::judgeRow(m_bench); }
};

QTEST_MAIN(JudgeCutsTest)
#include "test_judgecuts.moc"
