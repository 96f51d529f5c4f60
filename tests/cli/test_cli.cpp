#include "cli/cli.h"

#include <QDir>
#include <QImage>
#include <QRegularExpression>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run tolvane(const QStringList& args, const QString& locale = QStringLiteral("C.UTF-8"))
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", locale);
    env.insert("LANG", locale);
    p.setProcessEnvironment(env);
    p.start(TOLVANE_BIN, args);
    if (!p.waitForFinished(30000)) return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

class CliTest : public QObject
{
    Q_OBJECT
private slots:
    void targetsAndCount()
    {
        const Run targets = tolvane({"--targets", "a.jpg", "b.png"});
        QCOMPARE(targets.status, 0);
        QCOMPARE(targets.out,
                 QString("conversions: JPG · PNG · WEBP · HEIC · TIFF · AVIF · BMP · PDF · DOCX\n"
                         "tools: COMPRESS · METADATA · CROP · CREATE PDF · COLLAGE\n"
                         "actions: SEND · FLOAT · COPY · MOVE · COPY PATH · TERMINAL\n"));
        QVERIFY(targets.err.isEmpty());

        const Run none = tolvane({"--targets"});
        QCOMPARE(none.status, 0);
        QCOMPARE(none.out, QString("conversions: \ntools: \nactions: SEND · FLOAT · COPY · MOVE · COPY PATH · TERMINAL\n"));

        const Run count = tolvane({"--count"});
        QCOMPARE(count.status, 0);
        bool ok = false;
        QVERIFY(count.out.trimmed().toInt(&ok) > 0 && ok);
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("unknown option") << QStringList{"--bogus"};
        QTest::newRow("app in other case") << QStringList{"--App"};
        QTest::newRow("longer than app") << QStringList{"--apple"};
        QTest::newRow("convert without file") << QStringList{"--convert", "png"};
        QTest::newRow("render-hud without path") << QStringList{"--render-hud"};
        QTest::newRow("unknown wheel mode") << QStringList{"--render-wheel", "bogus", "w.png", "a.jpg"};
        QTest::newRow("wheel without file") << QStringList{"--render-wheel", "tools", "w.png"};
        QTest::newRow("icon size not a number") << QStringList{"--icon", "i.png", "abc"};
        QTest::newRow("icon without size") << QStringList{"--icon", "i.png"};
    }

    void usageErrors()
    {
        QFETCH(QStringList, args);
        const Run r = tolvane(args);
        QCOMPARE(r.status, 2);
        QCOMPARE(r.out, CLI::usageLine() + "\n");
    }

    void outputIgnoresTheLocale()
    {
        for (const QStringList& args : {QStringList{"--count"}, QStringList{"--targets", "x.mp4", "y.mkv"},
                                        QStringList{"--bogus"}}) {
            const Run c = tolvane(args);
            const Run de = tolvane(args, "de_DE.UTF-8");
            QCOMPARE(de.status, c.status);
            QCOMPARE(de.out, c.out);
        }
    }

    void renderHudWritesThePanelsQuietly()
    {
        QTemporaryDir dir;
        const QString png = dir.filePath("hud.png");
        const Run r = tolvane({"--render-hud", png});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, png + "\n");
        QVERIFY(r.err.isEmpty());
        QCOMPARE(QImage(png).size(), QSize(328, 186));

        const Run bad = tolvane({"--render-hud", dir.filePath("missing/hud.png")});
        QCOMPARE(bad.status, 1);
        QVERIFY(bad.out.startsWith("error: "));
    }

    void wheelAndIconRenderings()
    {
        QTemporaryDir dir;
        const QString wheel = dir.filePath("w.png");
        const Run r = tolvane({"--render-wheel", "tools", wheel, dir.filePath("a.jpg"), "--highlight", "2"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, wheel + "\n");
        QCOMPARE(QImage(wheel).size(), QSize(360, 360));

        const QString icon = dir.filePath("i.png");
        const Run i = tolvane({"--icon", icon, "64.7"}, "de_DE.UTF-8");
        QCOMPARE(i.status, 0);
        QVERIFY(i.out.isEmpty());
        QCOMPARE(QImage(icon).size(), QSize(64, 64));

        const Run zero = tolvane({"--icon", dir.filePath("z.png"), "0"});
        QCOMPARE(zero.status, 1);
        QVERIFY(zero.out.startsWith("error: "));
    }

    void convertTwiceKeepsBothResults()
    {
        QTemporaryDir dir;
        const QString clip = dir.filePath("clip.mkv");
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc2=d=1:s=160x120", "-c:v", "libx264", clip});
        QVERIFY(ffmpeg.waitForFinished(30000) && ffmpeg.exitCode() == 0);

        const QRegularExpression line(R"(^✓ clip\.mkv → (clip( 2)?\.mp4)  \(\d+\.\ds\)\n$)");
        const Run first = tolvane({"--convert", "mp4", clip}, "de_DE.UTF-8");
        QCOMPARE(first.status, 0);
        QCOMPARE(line.match(first.out).captured(1), QString("clip.mp4"));
        const Run second = tolvane({"--convert", "mp4", clip});
        QCOMPARE(line.match(second.out).captured(1), QString("clip 2.mp4"));
        QVERIFY(QFile::exists(dir.filePath("clip.mp4")) && QFile::exists(dir.filePath("clip 2.mp4")));

        const Run missing = tolvane({"--convert", "mp4", dir.filePath("gone.mov"), clip});
        QCOMPARE(missing.status, 1);
        QVERIFY(missing.out.startsWith("✗ gone.mov → mp4: "));
        QVERIFY(missing.out.contains("\n✓ clip.mkv → clip 3.mp4"));
    }

    void etaDemoPrintsEightLinesInAnyLocale()
    {
        const Run r = tolvane({"--eta-demo"}, "de_DE.UTF-8");
        QCOMPARE(r.status, 0);
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QVERIFY2(lines.size() >= 7 && lines.size() <= 9, qPrintable(r.out));
        const QRegularExpression line(R"(^t=\d+s  progress=[ \d]\d+%  estimate=(\d+\.\d|–)s?$)");
        for (const QString& l : lines) QVERIFY2(line.match(l).hasMatch(), qPrintable(l));
        QVERIFY(lines.last().contains("progress=100%"));
    }

    void paths()
    {
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        QCOMPARE(CLI::path("~/clip.mov"), QDir::homePath() + "/clip.mov");
        QCOMPARE(CLI::path("sub/../clip.mov"), dir.path() + "/clip.mov");
        QCOMPARE(CLI::path("./a b.png"), dir.path() + "/a b.png");
        QCOMPARE(CLI::path("/x/./y/../z.pdf"), QString("/x/z.pdf"));
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "test_cli.moc"
