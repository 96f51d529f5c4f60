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
        for (const QString name : {"Talk.m4a", "Centre.flac", "Loud.wav"})
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
        // Surround sound is mixed down with the standard coefficients, each side scaled to add
        // up to 1, the gains applied after.
        const QString downmix = "pan=stereo|c0<1.0*FL+0.7071*FC+0.7071*SL+0.7071*BL+0.5*BC"
                                "|c1<1.0*FR+0.7071*FC+0.7071*SR+0.7071*BR+0.5*BC,";
        QCOMPARE(ToolOps::channelFilter(true, 6, 100, 50), downmix + "pan=stereo|c0=1.0*c0|c1=0.5*c1");
        QCOMPARE(ToolOps::channelFilter(false, 6, 100, 100), downmix + "pan=mono|c0=0.5*c0+0.5*c1");
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
        // each side, and mono, 3 dB down, and by a side's 2.41 shares (front, centre, surround)
        // scaled to 1, 7.7 dB more.
        const QString mono = ToolOps::channels(path("Centre.flac"), false, 100, 100, m_job, {}).value(0);
        QCOMPARE(mono, path("Centre Mono.flac"));
        QCOMPARE(ffprobe(mono).channels, 1);
        const QString both = ToolOps::channels(path("Centre.flac"), true, 100, 100, m_job, {}).value(0);
        QCOMPARE(ffprobe(both).channels, 2);
        for (const auto& [file, channel] : {std::pair{mono, 0}, std::pair{both, 0}, std::pair{both, 1}}) {
            const double peak = channelPeak(file, channel, "0", "3");
            QVERIFY2(qAbs(peak + 28.7) < 0.5,
                     qPrintable(QString("%1 c%2: %3").arg(file).arg(channel).arg(peak)));
        }
    }

    // Loud surround sound that every channel carries in phase comes out of the mixdown as loud as
    // it went in, on each side and in mono: 16-bit samples pushed past full scale would wrap
    // around to the other extreme.
    void loudSurroundStaysWhole()
    {
        const QString mono = ToolOps::channels(path("Loud.wav"), false, 100, 100, m_job, {}).value(0);
        const QString both = ToolOps::channels(path("Loud.wav"), true, 100, 100, m_job, {}).value(0);
        QCOMPARE(ffprobe(mono).channels, 1);
        for (const auto& [file, channel] : {std::pair{mono, 0}, std::pair{both, 0}, std::pair{both, 1}}) {
            const double peak = channelPeak(file, channel, "0", "2");
            QVERIFY2(qAbs(peak + 6) < 0.3,
                     qPrintable(QString("%1 c%2: %3").arg(file).arg(channel).arg(peak)));
        }
    }
};

QTEST_GUILESS_MAIN(AudioChannelsWorkTest)
#include "test_audiochannelswork.moc"
