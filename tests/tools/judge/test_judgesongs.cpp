// The judge's songs converted to every audio format and run through the audio tools, each result
// judged against its source by ffprobe and an ffmpeg decode: whole, in step with the song's own
// time, as long as asked, with its tags and its cover where the format holds one, else a note.

#include "../../support/mediabench.h"

#include <QtTest>

namespace {

const Judge::Row rows[] = {
    {"song.mp3", "m4a wav flac ogg opus aiff wma"},
    {"song.m4a", "mp3 wav flac ogg opus aiff wma"},
    {"song.flac", "mp3 m4a wav ogg opus aiff wma"},
    {"song.ogg", "mp3 m4a wav flac opus aiff wma"},
    {"song.opus", "mp3 m4a wav flac ogg aiff wma"},
    {"surround.wav", "mp3 m4a flac ogg opus aiff wma"},
    {"song.aiff", "mp3 m4a wav flac ogg opus wma"},
    {"book.m4a", "mp3 wav flac ogg opus aiff"},
    {"memo.m4a", "mp3 wma"},
    {"lossless.m4a", "mp3 flac"},
    {"hires.flac", "mp3 wma"},
    {"low.wav", "mp3 m4a"},
    {"low.mp3", "m4a ogg"},
    {"song.wma", "mp3 flac"},
    {"aired.opus", "mp3 m4a wav flac ogg"},
    {"delayed.m4a", "mp3 wav flac opus"},
    {"gst.ogg", "mp3 flac opus"},
    // Songs from sox, the Opus, Vorbis, FLAC and MP3 encoders, and a field recorder.
    {"deep.wav", "flac m4a"},
    {"ulaw.wav", "mp3"},
    {"six.wav", "m4a"},
    {"enc.opus", "mp3 flac"},
    {"enc.ogg", "m4a wav"},
    {"vbr.mp3", "ogg flac"},
    {"cue.flac", "m4a"},
};

const Judge::Row toolRows[] = {
    {"song.mp3", "trim audio 0.5 2.5"},
    {"song.m4a", "trim audio 0.5 2.5"},
    {"song.flac", "trim audio 0.5 2.5"},
    {"song.ogg", "trim audio 0.5 2.5"},
    {"song.opus", "bleep 1 1.4"},
    {"song.mp3", "bleep 1 1.4"},
    {"song.ogg", "bleep 1 1.4"},
    {"surround.wav", "mono"},
    {"song.m4a", "mono"},
    {"song.flac", "normalize"},
    {"song.opus", "normalize"},
    {"song.aiff", "compress"},
    {"surround.wav", "compress"},
    {"song.mp3", "visualize"},
    {"memo.m4a", "trim audio 0.5 2.5"},
    {"low.wav", "trim audio 0.5 2.5"},
    {"song.wma", "trim audio 0.5 2.5"},
    {"low.wav", "normalize"},
    // A word bleeped out of a lossless song, whose frames last a tenth of a second.
    {"lossless.m4a", "bleep 1 1.4"},
    // Songs whose sound starts late.
    {"aired.opus", "trim audio 0.5 2.5"},
    {"aired.opus", "bleep 1 1.4"},
    {"aired.opus", "normalize"},
    {"delayed.m4a", "trim audio 0.5 2.5"},
    {"delayed.m4a", "bleep 1 1.4"},
    {"delayed.m4a", "mono"},
    {"delayed.m4a", "normalize"},
    {"delayed.m4a", "visualize"},
    {"delayed.m4a", "tag"},
    // Sound given back at its source's rate, depth and channels, with its cue sheet and its
    // broadcast chunk; a tone made at the source's own rate.
    {"deep.wav", "bleep 1 1.4"},
    {"deep.wav", "normalize"},
    {"hires.flac", "bleep 1 1.4"},
    {"hires.flac", "mono"},
    {"six.wav", "bleep 1 1.4"},
    {"ulaw.wav", "normalize"},
    // An 8-bit sound chunk of odd size, with its pad byte before the ID3 chunk.
    {"byte.aiff", "mono"},
    {"broadcast.wav", "trim audio 0.5 2.5"},
    {"broadcast.wav", "bleep 1 1.4"},
    {"broadcast.wav", "tag"},
    {"broadcast.wav", "visualize"},
    {"cue.flac", "trim audio 0.5 2.5"},
    {"cue.flac", "bleep 1 1.4"},
    {"cue.flac", "normalize"},
    {"cue.flac", "mono"},
    {"enc.opus", "trim audio 0.5 2.5"},
    {"enc.ogg", "bleep 1 1.4"},
    {"vbr.mp3", "normalize"},
};

} // namespace

class JudgeSongsTest : public QObject
{
    Q_OBJECT
    Judge::Bench m_bench;

  private slots:
    void initTestCase() { QVERIFY(m_bench.make(Judge::sourcesOf(rows) + Judge::sourcesOf(toolRows))); }

    void conversion_data() { Judge::addRows(rows, {}, true); }

    void tool_data() { Judge::addRows(toolRows); }

    void tool() { Judge::judgeRow(m_bench); }

    void conversion() { Judge::judgeRow(m_bench); }
};

QTEST_MAIN(JudgeSongsTest)
#include "test_judgesongs.moc"
