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

    void videoArguments()
    {
        QCOMPARE(
            ToolArgs::trimVideo("/v/Clip.MOV", {1.5, 4.25}, true, "mov", "o.mov"),
            QStringList({"-ss", "1.500", "-i", "/v/Clip.MOV", "-t", "2.750", "-map", "0:v:0", "-map", "0:a?",
                         "-map_metadata", "0", "-c", "copy", "-avoid_negative_ts", "make_zero", "o.mov"}));
        QCOMPARE(ToolArgs::cropFilter(QRectF(0, 0, 1, 1)),
                 "crop=trunc(iw*1.00000/2)*2:trunc(ih*1.00000/2)*2:trunc(iw*0.00000):trunc(ih*0.00000)");

        QCOMPARE(ToolOps::atempo(4), "atempo=2,atempo=2.0000");
        QCOMPARE(ToolOps::atempo(0.25), "atempo=0.5,atempo=0.5000");
        QCOMPARE(ToolOps::atempo(3), "atempo=2,atempo=1.5000");
        QCOMPARE(ToolOps::atempo(1.25), "atempo=1.2500");
        // NaN first: its tempo chain ends even when it is let through, the others' never do.
        for (const double bad : {qQNaN(), 0.0, -1.0, qInf()})
            QVERIFY_THROWS_EXCEPTION(ConvertError, ToolOps::atempo(bad));
        QCOMPARE(ToolArgs::speedGraph(0.5, false, 44100),
                 "[0:v]setpts=PTS/0.5000[v];[0:a]asetrate=44100*0.5000,aresample=44100[a]");
        QCOMPARE(ToolArgs::speedGraph(2, true, std::nullopt), "[0:v]setpts=PTS/2.0000[v]");

        const auto joinGraph = [](const QList<ToolArgs::JoinClip>& clips) {
            const QStringList args = ToolArgs::join(clips, "o.mp4");
            return args[args.indexOf("-filter_complex") + 1];
        };
        QVERIFY(joinGraph({{"a", 1279, 721, 29.97, true, 3}}).contains("scale=1278:720:") &&
                joinGraph({{"a", 1279, 721, 29.97, true, 3}}).contains(",fps=30,"));
        QVERIFY(joinGraph({{"a", 640, 360, 120, true, 3}}).contains(",fps=60,"));
        QVERIFY(joinGraph({{"a", 1, 1, 30, true, 3}}).contains("pad=2:2:"));
        const QStringList silent =
            ToolArgs::join({{"A", 640, 360, 30, true, 3}, {"B", 640, 360, 30, false, 10.5}}, "o");
        QCOMPARE(silent.mid(0, 10), QStringList({"-i", "A", "-i", "B", "-t", "10.500", "-f", "lavfi", "-i",
                                                 "anullsrc=r=48000:cl=stereo"}));
        QVERIFY(joinGraph({{"A", 640, 360, 30, true, 3}, {"B", 640, 360, 30, false, 10.5}})
                    .endsWith("[v0][a0][v1][2:a]concat=n=2:v=1:a=1[v][a]"));

        const QRectF box(0.1, 0.2, 0.3, 0.4);
        const QString blur = "boxblur=luma_radius='min(20,min(w,h)/2)':luma_power=4:"
                             "chroma_radius='min(20,min(cw,ch)/2)':chroma_power=4";
        QCOMPARE(
            ToolArgs::redactGraph({box}, RedactStyle::blur, std::nullopt),
            "[0:v:0]split[b0][c0];[c0]crop=trunc(iw*0.30000/2)*2:trunc(ih*0.40000/2)*2:trunc(iw*0.10000):"
            "trunc(ih*0.20000)," +
                blur + "[e0];[b0][e0]overlay=trunc(W*0.10000):trunc(H*0.20000)[s0]");
        const QString ranged = ToolArgs::redactGraph({box, box}, RedactStyle::black, TimeRange{2, 5});
        QCOMPARE(ranged.count(":enable='between(t,2.000,5.000)'"), 2);
        QVERIFY(ranged.contains(";[s0]drawbox=x=trunc(iw*0.10000):y=trunc(ih*0.20000):"));
        const QStringList redact =
            ToolArgs::redactVideo("s.mp4", {box, box}, RedactStyle::white, {}, "mp4", "o");
        QCOMPARE(redact[redact.indexOf("[s1]") - 1], "-map");
        QCOMPARE(redact[redact.indexOf("-map_metadata") + 1], "-1");
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
