// Change Speed, Crop, Redact, Remove Audio, Compress and the Metadata tool on the judge's films,
// each result judged against its source by ffprobe and an ffmpeg decode: whole, in step, as long
// as asked, with every stream its container holds and a note for the rest.

#include "../../support/mediabench.h"

#include <QtTest>

namespace {

const Judge::Row rows[] = {
    {"film.mp4", "speed 0.5"},  {"film.mp4", "speed 2"},   {"film.mp4", "crop"},
    {"film.mp4", "redact"},     {"film.mp4", "mute"},      {"film.mp4", "compress"},
    {"film.mp4", "tag"},        {"film.mkv", "speed 2"},   {"film.mkv", "crop"},
    {"film.mkv", "redact"},     {"film.mkv", "mute"},      {"film.mkv", "compress"},
    {"film.mkv", "tag"},        {"camera.mov", "speed 2"}, {"camera.mov", "redact"},
    {"camera.mov", "compress"}, {"web.webm", "speed 1.5"}, {"web.webm", "compress"},
    {"late.mp4", "speed 0.5"},  {"late.mp4", "speed 1.5"}, {"late.mp4", "speed 2"},
    {"late.mp4", "mute"},       {"late.mp4", "compress"},  {"vfr.mp4", "speed 2"},
    {"short.mkv", "speed 2"},   {"old.avi", "crop"},       {"old.avi", "redact"},
    {"old.avi", "compress"},    {"anim.mov", "speed 2"},   {"cut.mkv", "compress"},
    {"cut.mkv", "speed 2"},     {"phone.mov", "speed 2"},  {"phone.mov", "crop"},
    {"phone.mp4", "crop"},      {"hevc.mp4", "compress"},  {"deep.mkv", "compress"},
    {"av1.webm", "speed 2"},    {"xvid.avi", "speed 2"},   {"old.wmv", "speed 2"},
};

} // namespace

class JudgeVideoToolsTest : public QObject
{
    Q_OBJECT
    Judge::Bench m_bench;

  private slots:
    void initTestCase() { QVERIFY(m_bench.make(Judge::sourcesOf(rows))); }

    void tool_data() { Judge::addRows(rows); }

    void tool() { Judge::judgeRow(m_bench); }
};

QTEST_MAIN(JudgeVideoToolsTest)
#include "test_judgevideotools.moc"
