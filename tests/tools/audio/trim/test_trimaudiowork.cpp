// Trim Audio's work: its ffmpeg arguments under two locales, and trims run for real on lavfi
// clips: names, lengths, and a range past the end that ffmpeg itself would report as success.

#include "tools/audio/trim/trimaudiowork.h"

#include <QTemporaryDir>
#include <QtTest>

#include "../../../support/audioclips.h"

using namespace AudioClips;

class TrimAudioWorkTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    Job m_job{{}, {}, 0};

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase()
    {
        for (const QString name : {"Song.MP3", "Talk.m4a"})
            QVERIFY(!make(m_dir.path(), name).isEmpty());
    }

    void arguments_data() { decimalLocaleRows(); }
    void arguments()
    {
        const RowLocale locale;
        QVERIFY2(locale.isSet(), QTest::currentDataTag());
        const QStringList trim = TrimAudioWork::args("/m/Talk.m4a", 0, 12.3456, "m4a", {}, "/m/t.m4a");
        // The cut counts from the source's zero, after the silence before sound that starts late.
        QCOMPARE(trim, QStringList(
                           {"-i", "/m/Talk.m4a", "-map", "0:a", "-af",
                            "aresample=async=1:first_pts=0,atrim=start=0.000:end=12.346,asetpts=PTS-STARTPTS",
                            "-map_metadata", "0", "-c:a", "aac", "-b:a", "256k", "/m/t.m4a"}));
    }

    void trimNamesAndRange()
    {
        for (const QString suffix : {"", " 2", " 3"}) {
            const QStringList r = ToolOps::trimAudio(path("Talk.m4a"), 0.5, 2.5, m_job, {});
            QCOMPARE(r, QStringList{path("Talk Trimmed" + suffix + ".m4a")});
        }
        QCOMPARE(ffprobe(path("Talk Trimmed.m4a")).channels, 1);
        QVERIFY(qAbs(ffprobe(path("Talk Trimmed.m4a")).duration - 2.0) < 0.1);
        const QStringList mp3 = ToolOps::trimAudio(path("Song.MP3"), 1, 3, m_job, {});
        QCOMPARE(mp3, QStringList{path("Song Trimmed.mp3")});

        // Past the end ffmpeg writes an empty file and exits 0; that file must not be delivered.
        const ConvertError e =
            Fixture::failure([&] { ToolOps::trimAudio(path("Talk.m4a"), 7, 9, m_job, {}); });
        QCOMPARE(e.message(), "The chosen range lies past the end of Talk.m4a");
        QVERIFY(!QFile::exists(path("Talk Trimmed 4.m4a")));
        QVERIFY(hiddenIn(m_dir.path()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TrimAudioWorkTest)
#include "test_trimaudiowork.moc"
