// Convert Audio Channels' work: its pan filters under two locales, and conversions run for real
// on lavfi clips and read back with ffmpeg's meters.

#include "tools/audio/channels/audiochannelswork.h"

#include <QTemporaryDir>
#include <QtTest>

#include "../../../support/audioclips.h"

using namespace AudioClips;

class AudioChannelsWorkTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    Job m_job{{}, {}, 0};

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase()
    {
        for (const QString name : {"Talk.m4a", "Centre.flac"})
            QVERIFY(!make(m_dir.path(), name).isEmpty());
    }

    void filters_data() { decimalLocaleRows(); }
    void filters()
    {
        const RowLocale locale;
        QVERIFY2(locale.isSet(), QTest::currentDataTag());
        QCOMPARE(ToolOps::channelFilter(false, 2, 100, 100), "pan=mono|c0=0.5*c0+0.5*c1");
        QCOMPARE(ToolOps::channelFilter(true, 1, 100, 0), "pan=stereo|c0=1.0*c0|c1=0.0*c0");
        QCOMPARE(ToolOps::channelFilter(true, 2, 100, 50), "pan=stereo|c0=1.0*c0|c1=0.5*c1");
        QCOMPARE(ToolOps::channelFilter(false, 1, 75, 100), "pan=mono|c0=0.75*c0");
        QCOMPARE(ToolOps::channelFilter(true, 2, 125, 0.5), "pan=stereo|c0=1.25*c0|c1=0.005*c1");
        QCOMPARE(ToolOps::channelFilter(false, 2, 100, 80), "pan=mono|c0=0.5*c0+0.4*c1");
        // Surround sound is mixed down with the standard coefficients, the gains applied after.
        QCOMPARE(ToolOps::channelFilter(true, 6, 100, 50),
                 "pan=stereo|c0=1.0*FL+0.7071*FC+0.7071*SL+0.7071*BL+0.5*BC"
                 "|c1=0.5*FR+0.3536*FC+0.3536*SR+0.3536*BR+0.25*BC");
        QCOMPARE(ToolOps::channelFilter(false, 6, 100, 100),
                 "pan=mono|c0=0.5*FL+0.5*FR+0.7071*FC+0.3536*SL+0.3536*SR+0.3536*BL+0.3536*BR+0.5*BC");
    }

    void channelsFollowEachFile()
    {
        // A mono file made stereo fills both sides; a 5.1 file made mono keeps its centre.
        const QString stereo = ToolOps::channels(path("Talk.m4a"), true, 100, 100, m_job, {}).value(0);
        QCOMPARE(stereo, path("Talk Stereo.m4a"));
        QCOMPARE(ffprobe(stereo).channels, 2);
        QVERIFY(levels(stereo, "0", "4").first > -20);
        QProcess right;
        right.start("ffmpeg", {"-hide_banner", "-nostats", "-i", stereo, "-af", "pan=mono|c0=c1,volumedetect",
                               "-f", "null", "-"});
        right.waitForFinished();
        QVERIFY(!right.readAllStandardError().contains("max_volume: -91"));

        // Surround sound is mixed down the standard way: the centre (a tone at −18 dB) reaches
        // each side, and mono, 3 dB down.
        const QString mono = ToolOps::channels(path("Centre.flac"), false, 100, 100, m_job, {}).value(0);
        QCOMPARE(mono, path("Centre Mono.flac"));
        QCOMPARE(ffprobe(mono).channels, 1);
        const QString both = ToolOps::channels(path("Centre.flac"), true, 100, 100, m_job, {}).value(0);
        QCOMPARE(ffprobe(both).channels, 2);
        for (const auto& [file, channel] : {std::pair{mono, 0}, std::pair{both, 0}, std::pair{both, 1}}) {
            const double peak = channelPeak(file, channel, "0", "3");
            QVERIFY2(qAbs(peak + 21.1) < 0.5,
                     qPrintable(QString("%1 c%2: %3").arg(file).arg(channel).arg(peak)));
        }
    }
};

QTEST_GUILESS_MAIN(AudioChannelsWorkTest)
#include "test_audiochannelswork.moc"
