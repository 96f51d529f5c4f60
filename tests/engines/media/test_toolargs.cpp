// The tool operations' ffmpeg arguments, built without running anything, under the C locale
// and again under a German one, whose decimal comma must never reach ffmpeg.

#include "core/converterror.h"
#include "engines/media/toolargs.h"
#include "engines/media/toolops.h"

#include <QtTest>
#include <clocale>

class ToolArgsTest : public QObject
{
    Q_OBJECT

    void locales_data()
    {
        QTest::addColumn<QByteArray>("locale");
        QTest::newRow("C") << QByteArray("C.UTF-8");
        QTest::newRow("de_DE") << QByteArray("de_DE.UTF-8");
    }
    void useLocale()
    {
        QFETCH_GLOBAL(QByteArray, locale);
        QVERIFY2(std::setlocale(LC_ALL, locale.constData()), locale.constData());
        QLocale::setDefault(QLocale(locale.startsWith("de") ? QLocale::German : QLocale::C));
    }

  private slots:
    void initTestCase_data() { locales_data(); }
    void init() { useLocale(); }

    void audioArguments()
    {
        const QStringList trim = ToolArgs::trimAudio("/m/Talk.m4a", 0, 12.3456, "m4a", false, "/m/t.m4a");
        QCOMPARE(trim, QStringList({"-i", "/m/Talk.m4a", "-map", "0:a", "-af",
                                    "atrim=start=0.000:end=12.346,asetpts=PTS-STARTPTS", "-map_metadata", "0",
                                    "-c:a", "aac", "-b:a", "256k", "/m/t.m4a"}));

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

        const BleepRange one{QUuid::createUuid(), 1.0, 2.5};
        const QString tone = "0.3*sin(2*PI*1000*t)*(between(t,1.000,2.500))";
        const QString graph =
            "[0:a]volume=0:enable='between(t,1.000,2.500)'[muted];aevalsrc='%1':s=48000[beep];"
            "[muted][beep]amix=inputs=2:duration=first:normalize=0[out]";
        QCOMPARE(Bleeper::filter({one}, 2),
                 QStringList({"-filter_complex", graph.arg(tone + "|" + tone), "-map", "[out]"}));
        QCOMPARE(Bleeper::filter({one}, 1)[1], graph.arg(tone));
        QCOMPARE(Bleeper::filter({one}, 6)[1], graph.arg(QStringList(6, tone).join('|')));

        QCOMPARE(ToolOps::loudnessFilter(LoudnessTarget::streaming, 48000),
                 "loudnorm=I=-14:TP=-1:LRA=11,aformat=sample_rates=48000");
        QCOMPARE(ToolOps::loudnessFilter(LoudnessTarget::broadcast, 44100),
                 "loudnorm=I=-23:TP=-2:LRA=15,aformat=sample_rates=44100");
        QCOMPARE(ToolOps::peakFilter(-0.4), "volume=-0.60dB");
        QCOMPARE(ToolOps::peakFilter(-7.5), "volume=6.50dB");

        QCOMPARE(ToolArgs::visualGraph(VisualShape::landscape, VisualStyle::bars, "38D9F5", 1, false),
                 "color=black:s=1920x1080:r=30[bg];[0:a]showfreqs=s=1920x360:mode=bar:ascale=sqrt:fscale=log:"
                 "colors=0x38D9F5:win_size=2048:overlap=0,fps=30,format=rgba,colorkey=black:0.01:0.0[w];"
                 "[bg][w]overlay=0:(H-h)/2:shortest=1,format=yuv420p[v]");
        QVERIFY(ToolArgs::visualGraph(VisualShape::square, VisualStyle::bars, "FF5200", 2, false)
                    .contains(":colors=0xFF5200|0xFF5200:"));
        const QStringList visual = ToolArgs::visualize("/m/s.mp3", VisualShape::portrait, VisualStyle::wave,
                                                       "FF5200", 2, "/t/bg.png", 61.5, "o");
        QVERIFY(visual.join(' ').contains("-f png_pipe -i /t/bg.png"));
        QVERIFY(visual.join(' ').contains("-shortest -t 61.500 "));
    }

    // The cut that trimmed and split clips share.
    void cutArguments()
    {
        QCOMPARE(
            ToolArgs::trimVideo("/v/Clip.MOV", {1.5, 4.25}, true, "mov", "o.mov"),
            QStringList({"-ss", "1.500", "-i", "/v/Clip.MOV", "-t", "2.750", "-map", "0:v:0", "-map", "0:a?",
                         "-map_metadata", "0", "-c", "copy", "-avoid_negative_ts", "make_zero", "o.mov"}));
    }

    void rawValues()
    {
        QCOMPARE(loudnessTargetFromRaw("Peak"), LoudnessTarget::peak);
        QCOMPARE(loudnessTargetFromRaw("peak"), std::nullopt);
        QCOMPARE(visualShapeFromRaw("square"), std::nullopt);
        QCOMPARE(rawValue(VisualStyle::bars), "Bars");
        QCOMPARE(allLoudnessTargets().size(), 4);
    }
};

QTEST_GUILESS_MAIN(ToolArgsTest)
#include "test_toolargs.moc"
