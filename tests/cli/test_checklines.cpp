// The self-test's compression rows on their own: a sample already as small as the row's choices
// make it is the tool's right answer, and its row passes saying so; a sample that can't be
// compressed at all still fails its row, and one that can still names its copy.

#include "cli/gui/selftest.h"
#include "core/fmt.h"
#include "core/job.h"
#include "tools/selfchecks.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

bool run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

const SelfChecks::Check* row(const QString& name)
{
    for (const SelfChecks::Check& check : SelfChecks::all())
        if (check.name == name) return &check;
    return nullptr;
}

// Whether `line` is "<head>  [<seconds>s]".
bool timed(const QString& line, const QString& head)
{
    static const QRegularExpression time(QStringLiteral("^  \\[\\d+\\.\\ds\\]$"));
    return line.startsWith(head) && time.match(line.mid(head.size())).hasMatch();
}

QStringList files(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

} // namespace

class CheckLinesTest : public QObject
{
    Q_OBJECT

  private slots:
    // Each row passes, names the sample and its size, and leaves nothing beside it.
    void alreadySmallestPasses()
    {
        // Samples other programs wrote that no copy improves on: a text PDF set by LibreOffice,
        // and an MP3 at a lower rate than the row's 64 kbit/s.
        QTemporaryDir dir;
        QFile html(dir.filePath("sample.html"));
        QVERIFY(html.open(QIODevice::WriteOnly) &&
                html.write("<h1>Notes</h1><p>A short page of text.</p>") > 0);
        html.close();
        QVERIFY(run("soffice", {"--headless", "-env:UserInstallation=file://" + dir.filePath("profile"),
                                "--convert-to", "pdf", "--outdir", dir.path(), html.fileName()}));
        QDir(dir.filePath("profile")).removeRecursively();
        html.remove();
        QVERIFY(run("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i", "sine=duration=2", "-ac", "1",
                               "-b:a", "32k", dir.filePath("song.mp3")}));
        const QStringList samples = files(dir.path());
        QCOMPARE(samples, (QStringList{"sample.pdf", "song.mp3"}));

        for (const QString name : {"compress pdf", "compress audio"}) {
            const SelfChecks::Check* check = row(name);
            QVERIFY(check);
            const QString sample = dir.filePath(name.endsWith("pdf") ? "sample.pdf" : "song.mp3");
            Job job(QString(), QString(), 0);
            const CLI::CheckLine line = CLI::runCheck(*check, dir.path(), job);
            const QString head =
                QStringLiteral("✓ %1: nothing smaller than %2 (%3) to keep")
                    .arg(name, QFileInfo(sample).fileName(), Fmt::byteCount(Fmt::fileSize(sample)));
            QVERIFY2(line.passed && timed(line.text, head), qPrintable(line.text));
            QCOMPARE(files(dir.path()), samples);
        }
    }

    // A damaged or missing sample is a fault: ✗ with the cause. A sample that compresses still
    // lists its copy.
    void faultsStillFail()
    {
        QTemporaryDir dir;
        QFile pdf(dir.filePath("sample.pdf"));
        QVERIFY(pdf.open(QIODevice::WriteOnly) && pdf.write("%PDF-1.4\nnot a page in sight\n") > 0);
        pdf.close();
        Job job(QString(), QString(), 0);
        const QList<std::pair<QString, QString>> faults{
            {"compress pdf", "✗ compress pdf: Couldn’t open sample.pdf"},
            {"compress audio", QStringLiteral("✗ compress audio: song.mp3 is not in %1").arg(dir.path())},
        };
        for (const auto& [name, text] : faults) {
            const CLI::CheckLine line = CLI::runCheck(*row(name), dir.path(), job);
            QVERIFY2(!line.passed, qPrintable(line.text));
            QCOMPARE(line.text, text);
        }

        QVERIFY(run("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i", "sine=duration=2", "-b:a", "128k",
                               dir.filePath("song.mp3")}));
        const CLI::CheckLine line = CLI::runCheck(*row("compress audio"), dir.path(), job);
        const QString copy = dir.filePath("song Compressed.mp3");
        QVERIFY2(line.passed && timed(line.text, QStringLiteral("✓ compress audio: song Compressed.mp3 (%1)")
                                                     .arg(Fmt::byteCount(Fmt::fileSize(copy)))),
                 qPrintable(line.text));
    }
};

QTEST_MAIN(CheckLinesTest)
#include "test_checklines.moc"
