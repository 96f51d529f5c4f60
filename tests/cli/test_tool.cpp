// --tool on real files: the four windowless tools print their results, a failure stops the
// command with an error line, and an interrupt leaves nothing half made.

#include "cli/cli.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QtTest>
#include <csignal>

namespace {

struct Run
{
    int status = -1;
    QString out, err;
};

Run tolvane(const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "de_DE.UTF-8");
    p.setProcessEnvironment(env);
    p.start(TOLVANE_BIN, args);
    if (!p.waitForFinished(60000)) return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

bool ffmpeg(const QStringList& args)
{
    return QProcess::execute("ffmpeg", QStringList{"-v", "error"} + args) == 0;
}

QStringList everything(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class ToolTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString file(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase()
    {
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "testsrc2=d=1:s=160x120", "-f", "lavfi", "-i", "sine=d=1",
                        "-shortest", "-c:v", "libx264", "-c:a", "aac", file("clip.mov")}));
        {
            QPdfWriter writer(file("doc.pdf"));
            QPainter painter(&writer);
            writer.newPage();
            writer.newPage();
        }
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::blue);
        QVERIFY(image.save(file("a.png")) && image.save(file("b.jpg")));
        QFile text(file("x.txt"));
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("hello") == 5);
        text.close();
        QCOMPARE(QProcess::execute("zip", {"-q", "-j", file("a.zip"), file("x.txt")}), 0);
    }

    void runsWindowlessTools_data()
    {
        QTest::addColumn<QStringList>("args"); // "@" is the fixtures' folder
        QTest::addColumn<QStringList>("results");
        QTest::newRow("mute") << QStringList{"muteVideo", "@/clip.mov"} << QStringList{"@/clip Muted.mov"};
        QTest::newRow("split") << QStringList{"splitPDF", "@/doc.pdf"} << QStringList{"@/doc Pages"};
        QTest::newRow("extract twice") << QStringList{"extractArchive", "@/a.zip", "@/a.zip"}
                                       << QStringList{"@/a Extracted", "@/a Extracted 2"};
        QTest::newRow("create, one PDF of both")
            << QStringList{"createPDF", "@/a.png", "@/b.jpg"} << QStringList{"@/a and 1 more.pdf"};
    }

    void runsWindowlessTools()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, results);
        args.replaceInStrings("@", m_dir.path());
        results.replaceInStrings("@", m_dir.path());
        const Run r = tolvane(QStringList{"--tool"} + args);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, results.join('\n') + '\n');
        QCOMPARE(r.err, QString());
        for (const QString& result : results)
            QVERIFY2(QFileInfo::exists(result), qPrintable(result));
    }

    // The first failure ends the command; what was made before it stays.
    void stopsAtTheFirstError()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(file("a.zip"), dir.filePath("good.zip")));
        QFile notes(dir.filePath("notes.txt"));
        QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("notes") == 5);
        notes.close();
        const Run r = tolvane({"--tool", "extractArchive", dir.filePath("good.zip"),
                               dir.filePath("notes.txt"), dir.filePath("good.zip")});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.out, QString("error: Not an archive\n"));
        QCOMPARE(everything(dir.path()), (QStringList{"good Extracted", "good.zip", "notes.txt"}));
    }

    // Interrupted while ffmpeg works: the half-written file goes and the shell sees the signal. The
    // ffmpeg here writes a little and then takes its time, like a long encode.
    void interruptLeavesNothing()
    {
        QTemporaryDir dir, bin;
        QFile slow(bin.filePath("ffmpeg"));
        QVERIFY(slow.open(QIODevice::WriteOnly));
        slow.write("#!/bin/sh\nfor last; do :; done\necho partial > \"$last\"\nexec sleep 60\n");
        slow.close();
        slow.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(QFile::link(QStandardPaths::findExecutable("ffprobe"), bin.filePath("ffprobe")));
        QVERIFY(QFile::copy(file("clip.mov"), dir.filePath("clip.mov")));

        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TOLVANE_SEARCH_PATH", bin.path() + ":/usr/bin:/bin");
        p.setProcessEnvironment(env);
        p.start(TOLVANE_BIN, {"--tool", "muteVideo", dir.filePath("clip.mov")});
        QVERIFY(p.waitForStarted());
        QVERIFY(QTest::qWaitFor([&] { return everything(dir.path()).size() > 1; }, 20000));
        ::kill(pid_t(p.processId()), SIGINT);
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitStatus(), QProcess::CrashExit);
        QCOMPARE(everything(dir.path()), QStringList{"clip.mov"});
    }
};

QTEST_GUILESS_MAIN(ToolTest)
#include "test_tool.moc"
