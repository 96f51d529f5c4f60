// Bleep Audio's work: its mute-and-tone filter under two locales, and bleeps run for real on
// lavfi clips and read back with ffmpeg's meters.

#include "tools/audio/bleep/bleepwork.h"

#include <QTemporaryDir>
#include <QtTest>

#include "../../../support/audioclips.h"
#include "../../../support/audiofixtures.h"
#include "../../../support/streamjudge.h"

using namespace AudioClips;

class BleepWorkTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    Job m_job{{}, {}, 0};

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase()
    {
        for (const QString name : {"Tone.wav", "Centre.flac"})
            QVERIFY(!make(m_dir.path(), name).isEmpty());
    }

    void filter_data() { decimalLocaleRows(); }
    void filter()
    {
        const RowLocale locale;
        QVERIFY2(locale.isSet(), QTest::currentDataTag());
        const BleepRange one{QUuid::createUuid(), 1.0, 2.5};
        const QString tone = "0.3*sin(2*PI*1000*t)*(between(t,1.000,2.500))";
        const QString graph =
            "[0:a]aeval='val(ch)*not(between(t,1.000,2.500))':c=same[muted];aevalsrc='%1':s=48000[beep];"
            "[muted][beep]amix=inputs=2:duration=first:normalize=0[out]";
        QCOMPARE(Bleeper::filter({one}, 2),
                 QStringList({"-filter_complex", graph.arg(tone + "|" + tone), "-map", "[out]"}));
        QCOMPARE(Bleeper::filter({one}, 1)[1], graph.arg(tone));
        QCOMPARE(Bleeper::filter({one}, 6)[1], graph.arg(QStringList(6, tone).join('|')));
    }

    void bleepSilencesTheRanges()
    {
        const QList<BleepRange> ranges{{QUuid::createUuid(), 2.0, 2.5}, {QUuid::createUuid(), 1.2, 1.6}};
        const QString out = ToolOps::bleep(path("Tone.wav"), ranges, m_job, {}).value(0);
        QCOMPARE(out, path("Tone Bleeped.wav"));
        QVERIFY(qAbs(ffprobe(out).duration - 5.0) < 0.1);
        // Inside a range only the tone (amplitude 0.3, −10.5 dB) is left; outside, the source.
        QVERIFY(qAbs(levels(out, "1.25", "1.55").first + 10.5) < 0.6);
        QVERIFY(qAbs(levels(out, "2.6", "2.9").first + 7.5) < 0.6);
        QVERIFY_THROWS_EXCEPTION(ConvertError, ToolOps::bleep(path("Tone.wav"), {}, m_job, {}));

        // Every channel of surround sound is silenced and sounds the tone, the centre's own
        // tone gone.
        const QString surround =
            ToolOps::bleep(path("Centre.flac"), {{QUuid::createUuid(), 1.0, 2.0}}, m_job, {}).value(0);
        QCOMPARE(ffprobe(surround).channels, 6);
        for (int channel = 0; channel < 6; ++channel) {
            const double peak = channelPeak(surround, channel, "1.1", "1.9");
            QVERIFY2(qAbs(peak + 10.5) < 0.6, qPrintable(QString("c%1: %2").arg(channel).arg(peak)));
        }
    }

    // An Ogg song keeps its tags on its sound stream, which the bleeped sound replaces: they go
    // with it.
    void oggTagsAreKept()
    {
        for (const QString name : {"Tagged.ogg", "Tagged.opus"}) {
            QVERIFY(makeAudio(path(name), "sine=d=3",
                              {"-c:a", name.endsWith("ogg") ? "libvorbis" : "libopus", "-metadata",
                               "title=Night Song", "-metadata", "artist=The Band"}));
            const QString out =
                ToolOps::bleep(path(name), {{QUuid::createUuid(), 1.0, 2.0}}, m_job, {}).value(0);
            const Judge::File got = Judge::probe(out);
            QCOMPARE(got.of("audio").size(), 1);
            const QJsonObject tags = got.of("audio")[0].tags;
            QCOMPARE(tags["title"].toString(), QString("Night Song"));
            QCOMPARE(tags["artist"].toString(), QString("The Band"));
        }
    }
};

QTEST_GUILESS_MAIN(BleepWorkTest)
#include "test_bleepwork.moc"
