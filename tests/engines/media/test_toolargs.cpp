// The tool operations' ffmpeg arguments, built without running anything, under the C locale
// and again under a German one, whose decimal comma must never reach ffmpeg.

#include "engines/media/toolargs.h"

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

    void cutArguments()
    {
        QCOMPARE(
            ToolArgs::trimVideo("/v/Clip.MOV", {1.5, 4.25}, true, "mov", "o.mov"),
            QStringList({"-ss", "1.500", "-t", "2.750", "-i", "/v/Clip.MOV", "-map", "0:v:0", "-map", "0:a?",
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
