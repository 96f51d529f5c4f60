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
};

const Judge::KnownFault knownFaultRows[] = {
    {"chapters misplaced, or dropped unsaid", "film.mp4", "avi"},
    {"chapters misplaced, or dropped unsaid", "film.mp4", "gif"},
    {"chapters misplaced, or dropped unsaid", "film.mkv", "avi"},
    {"chapters misplaced, or dropped unsaid", "film.mkv", "gif"},
    {"timecode not moved, or dropped unsaid; chapters misplaced, or dropped unsaid", "camera.mov", "avi"},
    {"timecode not moved, or dropped unsaid", "camera.mov", "wmv"},
    {"timecode not moved, or dropped unsaid; chapters misplaced, or dropped unsaid", "camera.mov", "gif"},
    {"chapters misplaced, or dropped unsaid", "web.webm", "avi"},
    {"chapters misplaced, or dropped unsaid", "web.webm", "gif"},
    {"QuickTime Animation copied into MKV undecodable", "anim.mov", "mkv"},
};

} // namespace

class JudgeFilmsTest : public QObject
{
    Q_OBJECT
    Judge::Bench m_bench;

  private slots:
    void initTestCase() { QVERIFY(m_bench.make(Judge::sourcesOf(rows, knownFaultRows))); }

    void conversion_data() { Judge::addRows(rows, knownFaultRows, true); }

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

QTEST_MAIN(JudgeFilmsTest)
#include "test_judgefilms.moc"
