#include "cli/cli.h"

#include <QImage>
#include <QtTest>

namespace {

struct Run
{
    int status = -1;
    QString out, err;
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
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

class CliTest : public QObject
{
    Q_OBJECT
  private slots:
    void exactOutput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        const QString usage = CLI::usageLine() + "\n";
        const QString actions = "actions: SEND · FLOAT · COPY · MOVE · COPY PATH · TERMINAL\n";
        QTest::newRow("targets") << QStringList{"--targets", "a.jpg", "b.png"} << 0
                                 << "conversions: JPG · PNG · WEBP · HEIC · TIFF · AVIF · BMP · PDF · DOCX\n"
                                    "tools: COMPRESS · METADATA · CROP · CREATE PDF · COLLAGE\n" +
                                        actions;
        QTest::newRow("targets of nothing")
            << QStringList{"--targets"} << 0 << "conversions: \ntools: \n" + actions;
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << usage;
        QTest::newRow("app in other case") << QStringList{"--App"} << 2 << usage;
        QTest::newRow("longer than app") << QStringList{"--apple"} << 2 << usage;
        QTest::newRow("convert without file") << QStringList{"--convert", "png"} << 2 << usage;
        QTest::newRow("render-hud without path") << QStringList{"--render-hud"} << 2 << usage;
        QTest::newRow("unknown wheel mode")
            << QStringList{"--render-wheel", "bogus", "w.png", "a.jpg"} << 2 << usage;
        QTest::newRow("wheel without file") << QStringList{"--render-wheel", "tools", "w.png"} << 2 << usage;
        QTest::newRow("icon size not a number") << QStringList{"--icon", "i.png", "abc"} << 2 << usage;
        QTest::newRow("icon without size") << QStringList{"--icon", "i.png"} << 2 << usage;
    }

    // The same in a German locale.
    void exactOutput()
    {
        QFETCH(QStringList, args);
        for (const QString& locale : {"C.UTF-8", "de_DE.UTF-8"}) {
            const Run r = tolvane(args, locale);
            QTEST(r.status, "status");
            QTEST(r.out, "out");
        }
    }

    void renderings_data()
    {
        QTest::addColumn<QStringList>("args"); // "@" stands for an empty folder
        QTest::addColumn<QString>("out");      // for a failure, the start of the line
        QTest::addColumn<QSize>("size");       // of the picture written, 0x0 for a failure
        QTest::newRow("hud") << QStringList{"--render-hud", "@/hud.png"} << "@/hud.png\n" << QSize(328, 186);
        QTest::newRow("hud, no folder")
            << QStringList{"--render-hud", "@/missing/hud.png"} << "error: " << QSize(0, 0);
        QTest::newRow("wheel") << QStringList{"--render-wheel", "tools",       "@/w.png",
                                              "@/a.jpg",        "--highlight", "2"}
                               << "@/w.png\n"
                               << QSize(360, 360);
        QTest::newRow("icon, decimal point")
            << QStringList{"--icon", "@/i.png", "64.7"} << "" << QSize(64, 64);
        QTest::newRow("icon of no size") << QStringList{"--icon", "@/z.png", "0"} << "error: " << QSize(0, 0);
    }

    // Under a comma locale: the icon size is read with a decimal point all the same.
    void renderings()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, out);
        QFETCH(QSize, size);
        QTemporaryDir dir;
        args.replaceInStrings("@", dir.path());
        out.replace("@", dir.path());
        const Run r = tolvane(args, "de_DE.UTF-8");
        QCOMPARE(r.status, size.isEmpty() ? 1 : 0);
        QVERIFY2((size.isEmpty() ? r.out.startsWith(out) : r.out == out) && r.err.isEmpty(),
                 qPrintable(r.out + r.err));
        QCOMPARE(QImage(args.filter(".png").value(0)).size(), size);
    }

    void convertTwiceKeepsBothResults()
    {
        QTemporaryDir dir;
        const QString clip = dir.filePath("clip.mkv");
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg",
                     {"-v", "error", "-f", "lavfi", "-i", "testsrc2=d=1:s=160x120", "-c:v", "libx264", clip});
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

    void countAndEtaDemoInAGermanLocale()
    {
        const Run count = tolvane({"--count"}, "de_DE.UTF-8");
        QVERIFY(count.status == 0 && QRegularExpression("^[1-9]\\d*\n$").match(count.out).hasMatch());
        const Run r = tolvane({"--eta-demo"}, "de_DE.UTF-8");
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QVERIFY2(r.status == 0 && lines.size() >= 7 && lines.size() <= 9, qPrintable(r.out));
        const QRegularExpression line(R"(^t=\d+s  progress=[ \d]\d+%  estimate=(\d+\.\d|–)s?$)");
        for (const QString& l : lines)
            QVERIFY2(line.match(l).hasMatch(), qPrintable(l));
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
