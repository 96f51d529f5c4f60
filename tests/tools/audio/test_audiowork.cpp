// What every audio tool's work shares, run for real on lavfi clips: the whole sound and the
// cover pictures kept, and a missing ffmpeg named as such.

#include "tools/audio/bleep/bleepwork.h"
#include "tools/audio/channels/audiochannelswork.h"
#include "tools/audio/normalize/normalizework.h"
#include "tools/audio/trim/trimaudiowork.h"
#include "tools/audio/visualizer/visualizerwork.h"
#include "tools/file/compress/compresswork.h"
#include "tools/file/metadata/metadatawork.h"

#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include "../../support/audioclips.h"
#include "../../support/programoutput.h"

using namespace AudioClips;

class AudioWorkTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    Job m_job{{}, {}, 0};

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase()
    {
        for (const QString name :
             {"Tone.wav", "Cover.mp3", "Cover.m4a", "Cover.flac", "Cover.ogg", "Cover.aiff"})
            QVERIFY(!make(m_dir.path(), name).isEmpty());
    }

    // Each audio tool keeps the whole sound and the cover picture of an MP3, M4A or FLAC file,
    // and notes nothing about a whole file; the visualizer's video lasts as long as the sound.
    // Metadata removal's covers are its own tests' concern.
    void coversAreKept_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("tool");
        for (const QString file : {"Cover.mp3", "Cover.m4a", "Cover.flac"})
            for (const QString tool : {"trim", "channels", "normalize", "normalize peak", "bleep", "compress",
                                       "metadata", "metadata strip", "visualize"})
                QTest::newRow(qPrintable(file + " " + tool)) << file << tool;
    }

    void coversAreKept()
    {
        QFETCH(QString, file);
        QFETCH(QString, tool);
        const QString f = path(file);
        Job job{{}, {}, 0};
        CompressWork::Choices smaller;
        smaller.bitrate = 32;
        const QHash<QString, std::function<QStringList()>> tools{
            {"trim", [&] { return ToolOps::trimAudio(f, 0.5, 5.5, job, {}); }},
            {"channels", [&] { return ToolOps::channels(f, false, 100, 100, job, {}); }},
            {"normalize", [&] { return ToolOps::normalize(f, LoudnessTarget::podcast, job, {}); }},
            {"normalize peak", [&] { return ToolOps::normalize(f, LoudnessTarget::peak, job, {}); }},
            {"bleep",
             [&] {
                 return ToolOps::bleep(f, {{QUuid::createUuid(), 1.0, 2.0}}, job, {});
             }},
            {"compress",
             [&] { return CompressWork::compressFile(f, CompressWork::Kind::audio, smaller, job, {}); }},
            {"metadata",
             [&] {
                 return MetadataWork::writeFile(f, MetadataWork::Kind::media, false, {{"artist", {}, "Ann"}},
                                                false, job);
             }},
            {"metadata strip",
             [&] { return MetadataWork::writeFile(f, MetadataWork::Kind::media, true, {}, false, job); }},
            {"visualize", [&] {
                 return ToolOps::visualize(f, VisualShape::square, VisualStyle::line, "FF5200", std::nullopt,
                                           job, {});
             }}};
        QCOMPARE(coverPictures(f), 1);
        QString out;
        const ConvertError e = Fixture::failure([&] { out = tools.value(tool)().value(0); });
        QVERIFY2(!out.isEmpty(), qPrintable(e.message() + " " + job.notes().join('|')));
        const double seconds = soundSeconds(out);
        QVERIFY2(near(seconds, tool == "trim" ? 5 : 6, 0.2), qPrintable(QString::number(seconds)));
        if (tool != "metadata strip" && tool != "visualize") QCOMPARE(coverPictures(out), 1);
        // The visualizer's film shows a drawing of the sound in place of the cover, and says so.
        QCOMPARE(job.notes(), tool == "visualize" ? QStringList{"The cover picture was left out: the video "
                                                                "holds the drawing and the sound only"}
                                                  : QStringList());
        QVERIFY(QFile::remove(out));
    }

    // An AIFF keeps its artist and cover in an ID3 chunk: every audio tool writes one again.
    void aiffKeepsTagsAndCover()
    {
        const QString f = path("Cover.aiff");
        QCOMPARE(coverPictures(f), 1);
        const QList<std::pair<QString, std::function<QStringList(Job&)>>> tools{
            {"trim", [&](Job& job) { return ToolOps::trimAudio(f, 0.5, 5.5, job, {}); }},
            {"channels", [&](Job& job) { return ToolOps::channels(f, false, 100, 100, job, {}); }},
            {"normalize", [&](Job& job) { return ToolOps::normalize(f, LoudnessTarget::podcast, job, {}); }},
            {"bleep", [&](Job& job) {
                 return ToolOps::bleep(f, {{QUuid::createUuid(), 1.0, 2.0}}, job, {});
             }}};
        for (const auto& [tool, run] : tools) {
            Job job{{}, {}, 0};
            QString out;
            const ConvertError e = Fixture::failure([&] { out = run(job).value(0); });
            QVERIFY2(!out.isEmpty(), qPrintable(tool + ": " + e.message()));
            QCOMPARE(job.notes(), QStringList());
            QVERIFY2(coverPictures(out) == 1, qPrintable(tool));
            const QString artist = programOutput("exiftool", {"-s3", "-ID3:Artist", out}).trimmed();
            QVERIFY2(artist == "Tester", qPrintable(tool + ": artist “" + artist + "”"));
            QVERIFY(QFile::remove(out));
        }
    }

    // An Ogg file's cover, which ffmpeg reads but can't write back, is named in the note of every
    // audio tool that leaves it out, beside the whole sound.
    void coversAnOggCantHoldAreNamed()
    {
        const QString f = path("Cover.ogg");
        QCOMPARE(coverPictures(f), 1);
        const QList<std::pair<QString, std::function<QStringList(Job&)>>> tools{
            {"trim", [&](Job& job) { return ToolOps::trimAudio(f, 0, 6, job, {}); }},
            {"channels", [&](Job& job) { return ToolOps::channels(f, false, 100, 100, job, {}); }},
            {"normalize", [&](Job& job) { return ToolOps::normalize(f, LoudnessTarget::podcast, job, {}); }},
            {"bleep",
             [&](Job& job) {
                 return ToolOps::bleep(f, {{QUuid::createUuid(), 1.0, 2.0}}, job, {});
             }},
            {"compress",
             [&](Job& job) {
                 CompressWork::Choices smaller;
                 smaller.bitrate = 32;
                 return CompressWork::compressFile(f, CompressWork::Kind::audio, smaller, job, {});
             }},
            {"metadata", [&](Job& job) {
                 return MetadataWork::writeFile(f, MetadataWork::Kind::media, false, {{"artist", {}, "Ann"}},
                                                false, job);
             }}};
        for (const auto& [tool, run] : tools) {
            Job job{{}, {}, 0};
            QString out;
            const ConvertError e = Fixture::failure([&] { out = run(job).value(0); });
            QVERIFY2(!out.isEmpty(), qPrintable(tool + ": " + e.message()));
            QVERIFY2(near(soundSeconds(out), 6, 0.2), qPrintable(tool));
            QCOMPARE(job.notes(),
                     QStringList{"The cover picture was left out: OGG files written here can’t hold it"});
            QVERIFY(QFile::remove(out));
        }
    }

    // A book whose sound starts a second in, after an empty edit, compresses with that second of
    // silence before its sound, as its player hears it, instead of being refused as late.
    void compressKeepsALateStart()
    {
        QTemporaryDir folder;
        const QString book = folder.filePath("Late.m4a"), chapters = folder.filePath("chapters.txt");
        QVERIFY(Fixture::write(chapters, ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=3000\n"
                                         "title=All\n"));
        QVERIFY(Fixture::ffmpeg({"-f", "lavfi", "-i", "sine=f=440:d=2", "-i", chapters, "-map", "0",
                                 "-map_chapters", "1", "-c:a", "aac", "-b:a", "128k", "-output_ts_offset",
                                 "1", book}));
        CompressWork::Choices smaller;
        smaller.bitrate = 32;
        Job job{{}, {}, 0};
        QString out;
        const ConvertError e = Fixture::failure([&] {
            out = CompressWork::compressFile(book, CompressWork::Kind::audio, smaller, job, {}).value(0);
        });
        QVERIFY2(!out.isEmpty(), qPrintable(e.message()));
        QVERIFY2(levels(out, "0", "0.9").first < -60, "the silence before the sound is gone");
        QVERIFY(levels(out, "1.1", "2.9").first > -25); // the tone, at −18 dB
        QVERIFY2(near(soundSeconds(out), 3, 0.1), qPrintable(QString::number(soundSeconds(out))));
    }

    // ffmpeg that exits 0 after 0.3 s of a result makes every audio tool fail, saying so, and
    // leaves nothing behind.
    void stoppedEarlyFails()
    {
        QTemporaryDir bin, folder;
        const QString song = folder.filePath("Cover.mp3");
        QVERIFY(QFile::copy(path("Cover.mp3"), song));
        Fixture::write(bin.filePath("ffmpeg"),
                       "#!/bin/bash\nexec /usr/bin/ffmpeg \"${@:1:$#-1}\" -t 0.3 \"${@: -1}\"\n");
        QFile::setPermissions(bin.filePath("ffmpeg"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("TOLVANE_SEARCH_PATH", bin.path().toUtf8() + ":/usr/bin:/bin");
        const auto restore = qScopeGuard([] { qunsetenv("TOLVANE_SEARCH_PATH"); });
        const QList<std::pair<QString, std::function<void()>>> tools{
            {"Cover Trimmed.mp3 came out 0.3 s long instead of 5.0 s",
             [&] { ToolOps::trimAudio(song, 0.5, 5.5, m_job, {}); }},
            {"Cover Mono.mp3 came out 0.3 s long instead of 6.0 s",
             [&] { ToolOps::channels(song, false, 100, 100, m_job, {}); }},
            {"Cover Normalized.mp3 came out 0.3 s long instead of 6.0 s",
             [&] { ToolOps::normalize(song, LoudnessTarget::streaming, m_job, {}); }},
            {"Cover Bleeped.mp3 came out 0.3 s long instead of 6.0 s",
             [&] {
                 ToolOps::bleep(song, {{QUuid::createUuid(), 1.0, 2.0}}, m_job, {});
             }},
            {"Cover Compressed.mp3 came out 0.3 s long instead of 6.0 s",
             [&] {
                 CompressWork::Choices smaller;
                 smaller.bitrate = 32;
                 CompressWork::compressFile(song, CompressWork::Kind::audio, smaller, m_job, {});
             }},
            {"Cover Visualizer.mp4 came out 0.3 s long instead of 6.0 s", [&] {
                 ToolOps::visualize(song, VisualShape::square, VisualStyle::wave, "FF5200", std::nullopt,
                                    m_job, {});
             }}};
        for (const auto& [message, run] : tools) {
            QCOMPARE(Fixture::failure(run).message(), message + ": ffmpeg stopped early");
            QCOMPARE(Fixture::entries(folder.path()), QStringList{"Cover.mp3"});
        }
    }

    // A WAVE file broken off after 60 % of its bytes, whose header promises all 7 s, trims to what
    // it holds with a note naming it; ffmpeg stopping short of that fails.
    void cutWaveGivesWhatItHolds()
    {
        QTemporaryDir folder;
        const QString cut = folder.filePath("Cut.wav");
        QVERIFY(Fixture::ffmpeg({"-f", "lavfi", "-i", "sine=d=7", path("Whole.wav")}));
        QFile whole(path("Whole.wav"));
        QVERIFY(whole.open(QIODevice::ReadOnly));
        QVERIFY(Fixture::write(cut, whole.read(whole.size() * 6 / 10)));
        Job job{{}, {}, 0};
        const QString trimmed = ToolOps::trimAudio(cut, 1, 6, job, {}).value(0);
        QCOMPARE(job.notes(), QStringList{"Cut.wav is cut short: 4.2 s of 7.0 s made"});
        QVERIFY(near(soundSeconds(trimmed), 3.2, 0.1));
        QVERIFY(QFile::remove(trimmed));

        QTemporaryDir bin;
        Fixture::write(bin.filePath("ffmpeg"),
                       "#!/bin/bash\nexec /usr/bin/ffmpeg \"${@:1:$#-1}\" -t 0.3 \"${@: -1}\"\n");
        QFile::setPermissions(bin.filePath("ffmpeg"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("TOLVANE_SEARCH_PATH", bin.path().toUtf8() + ":/usr/bin:/bin");
        const auto restore = qScopeGuard([] { qunsetenv("TOLVANE_SEARCH_PATH"); });
        QCOMPARE(Fixture::failure([&] { ToolOps::trimAudio(cut, 1, 6, m_job, {}); }).message(),
                 "Cut Trimmed.wav came out 0.3 s long instead of 5.0 s: ffmpeg stopped early");
        QCOMPARE(Fixture::entries(folder.path()), QStringList{"Cut.wav"});
    }

    void missingFfmpeg()
    {
        QTemporaryDir empty;
        qputenv("TOLVANE_SEARCH_PATH", empty.path().toUtf8());
        const ConvertError e =
            Fixture::failure([&] { ToolOps::normalize(path("Tone.wav"), LoudnessTarget::peak, m_job, {}); });
        qunsetenv("TOLVANE_SEARCH_PATH");
        QCOMPARE(e.kind(), ConvertError::Kind::missingTool);
    }
};

QTEST_GUILESS_MAIN(AudioWorkTest)
#include "test_audiowork.moc"
