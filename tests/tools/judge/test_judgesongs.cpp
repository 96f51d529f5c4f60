// The judge's songs converted to every audio format and run through the audio tools, each result
// judged against its source by ffprobe and an ffmpeg decode: whole, in step with the song's own
// time, as long as asked, with its tags and its cover where the format holds one, else a note.

#include "../../support/mediabench.h"

#include <QtTest>

namespace {

const Judge::Row rows[] = {
    {"song.mp3", "m4a wav flac ogg opus aiff wma"}, {"song.m4a", "mp3 wav flac ogg opus aiff wma"},
    {"song.flac", "mp3 m4a wav ogg opus aiff wma"}, {"song.ogg", "mp3 m4a wav flac opus aiff wma"},
    {"song.opus", "mp3 m4a wav flac ogg aiff wma"}, {"surround.wav", "mp3 m4a flac ogg opus aiff wma"},
    {"song.aiff", "mp3 m4a wav flac ogg opus wma"}, {"book.m4a", "mp3 wav flac ogg opus aiff"},
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
};

const Judge::KnownFault knownToolRows[] = {
    {"Ogg stream tags lost", "song.opus", "bleep 1 1.4"},
    {"Ogg stream tags lost", "song.ogg", "bleep 1 1.4"},
};

const Judge::KnownFault knownFaultRows[] = {
    {"Ogg stream tags lost", "song.ogg", "mp3"},
    {"Ogg stream tags lost", "song.ogg", "m4a"},
    {"Ogg stream tags lost", "song.ogg", "wav"},
    {"Ogg stream tags lost", "song.ogg", "flac"},
    {"Ogg stream tags lost", "song.ogg", "aiff"},
    {"Ogg stream tags lost", "song.ogg", "wma"},
    {"Ogg stream tags lost", "song.opus", "mp3"},
    {"Ogg stream tags lost", "song.opus", "m4a"},
    {"Ogg stream tags lost", "song.opus", "wav"},
    {"Ogg stream tags lost", "song.opus", "flac"},
    {"Ogg stream tags lost", "song.opus", "aiff"},
    {"Ogg stream tags lost", "song.opus", "wma"},
    {"chapters misplaced, or dropped unsaid", "book.m4a", "wav"},
    {"chapters misplaced, or dropped unsaid", "book.m4a", "flac"},
    {"chapters misplaced, or dropped unsaid", "book.m4a", "ogg"},
    {"chapters misplaced, or dropped unsaid", "book.m4a", "aiff"},
};

} // namespace

class JudgeSongsTest : public QObject
{
    Q_OBJECT
    Judge::Bench m_bench;

  private slots:
    void initTestCase()
    {
        QVERIFY(
            m_bench.make(Judge::sourcesOf(rows, knownFaultRows) + Judge::sourcesOf(toolRows, knownToolRows)));
    }

    void conversion_data() { Judge::addRows(rows, knownFaultRows, true); }

    void tool_data() { Judge::addRows(toolRows, knownToolRows); }

    void tool()
    {
        QFETCH(QString, source);
        QFETCH(QString, operation);
        QFETCH(QString, fault);
        if (const QString why = Judge::skipped(fault); !why.isEmpty()) QSKIP(qPrintable(why));
        const QStringList complaints = m_bench.judge(source, operation);
        QVERIFY2(complaints.isEmpty(), qPrintable(complaints.join("\n")));
    }

    void conversion()
    {
        QFETCH(QString, source);
        QFETCH(QString, operation);
        QFETCH(QString, fault);
        if (const QString why = Judge::skipped(fault); !why.isEmpty()) QSKIP(qPrintable(why));
        const QStringList complaints = m_bench.judge(source, operation);
        QVERIFY2(complaints.isEmpty(), qPrintable(complaints.join("\n")));
    }
};

QTEST_MAIN(JudgeSongsTest)
#include "test_judgesongs.moc"
