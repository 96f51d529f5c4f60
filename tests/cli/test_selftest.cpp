// --selftest through the program over the samples the fixture script makes: every check passes
// and names its results with their sizes, a second run writes beside the first under new names,
// and a missing sample fails only the checks that use it. Run under a German locale, whose
// decimal comma must not reach the output.

#include "core/fmt.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

namespace {

struct Run
{
    int status = -1;
    QStringList lines;
    QString err;
};

Run selftest(const QString& dir)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "de_DE.UTF-8");
    p.setProcessEnvironment(env);
    p.start(TOLVANE_BIN, {"--selftest", dir});
    if (!p.waitForFinished(120000)) return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
            QString::fromUtf8(p.readAllStandardError())};
}

const QStringList names{"crop",         "edit",
                        "annotate",     "create pdf",
                        "split pdf",    "trim audio",
                        "mono",         "bleep",
                        "normalize",    "normalize peak",
                        "visualize",    "visualize bars+bg",
                        "trim video",   "trim video fast",
                        "split video",  "crop video",
                        "speed 2x",     "speed .25x",
                        "snapshots",    "join",
                        "redact blur",  "redact pixelate+range",
                        "redact black", "mute"};
const QStringList audioChecks{"trim audio",       "mono", "bleep", "normalize", "normalize peak", "visualize",
                              "visualize bars+bg"};
const QStringList clipChecks{"trim video",   "trim video fast",
                             "split video",  "crop video",
                             "speed 2x",     "speed .25x",
                             "snapshots",    "join",
                             "redact blur",  "redact pixelate+range",
                             "redact black", "mute"};

// "✓ <name>: <file> (<size>), …  [<seconds>s]" for a check that wrote `results` in `dir`.
void verifyPassed(const QString& line, const QString& name, const QString& dir, const QStringList& results)
{
    QStringList parts;
    for (const QString& result : results) {
        const QString path = QDir(dir).filePath(result);
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));
        parts << QStringLiteral("%1 (%2)").arg(result, Fmt::byteCount(Fmt::fileSize(path)));
    }
    const QString head = QStringLiteral("✓ %1: %2").arg(name, parts.join(QStringLiteral(", ")));
    static const QRegularExpression time(QStringLiteral("^  \\[\\d+\\.\\ds\\]$"));
    QVERIFY2(line.startsWith(head) && time.match(line.mid(head.size())).hasMatch(), qPrintable(line));
}

} // namespace

class SelfTestTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_samples;

    // A fresh copy of the samples, so that each case starts from the same folder.
    QString copy(QTemporaryDir& into) const
    {
        for (const QString& name : QDir(m_samples.path()).entryList(QDir::Files))
            if (!QFile::copy(m_samples.filePath(name), into.filePath(name))) return {};
        return into.path();
    }

  private slots:
    void initTestCase()
    {
        QProcess script;
        script.start("bash", {SAMPLES_SCRIPT, m_samples.path()});
        QVERIFY(script.waitForFinished(120000));
        QVERIFY2(script.exitCode() == 0, script.readAllStandardError().constData());
        QCOMPARE(QDir(m_samples.path()).entryList(QDir::Files).size(), 6);
    }

    void passesAndNeverReplacesResults()
    {
        QTemporaryDir folder;
        const QString dir = copy(folder);
        QVERIFY(!dir.isEmpty());
        // Each run's results; the second run finds the first's and takes the next free names.
        const QList<QStringList> runs[] = {
            {{"photo Cropped.jpg"},
             {"photo Edited.jpg"},
             {"photo Annotated.jpg"},
             {"photo and 1 more.pdf"},
             {"sample Pages"},
             {"song Trimmed.mp3"},
             {"song Mono.mp3"},
             {"song Bleeped.mp3"},
             {"song Normalized.mp3"},
             {"song Normalized 2.mp3"},
             {"song Visualizer.mp4"},
             {"song Visualizer 2.mp4"},
             {"clip Trimmed.mp4"},
             {"clip Trimmed 2.mp4"},
             {"clip Clips"},
             {"clip Cropped.mp4"},
             {"clip Speed 2x.mp4"},
             {"clip Speed .25x.mp4"},
             {"clip Snapshot 1.png", "clip Snapshot 2.png"},
             {"clip Joined.mp4"},
             {"clip Redacted.mp4"},
             {"clip Redacted 2.mp4"},
             {"clip Redacted 3.mp4"},
             {"clip Muted.mp4"}},
            {{"photo Cropped 2.jpg"},
             {"photo Edited 2.jpg"},
             {"photo Annotated 2.jpg"},
             {"photo and 1 more 2.pdf"},
             {"sample Pages 2"},
             {"song Trimmed 2.mp3"},
             {"song Mono 2.mp3"},
             {"song Bleeped 2.mp3"},
             {"song Normalized 3.mp3"},
             {"song Normalized 4.mp3"},
             {"song Visualizer 3.mp4"},
             {"song Visualizer 4.mp4"},
             {"clip Trimmed 3.mp4"},
             {"clip Trimmed 4.mp4"},
             {"clip Clips 2"},
             {"clip Cropped 2.mp4"},
             {"clip Speed 2x 2.mp4"},
             {"clip Speed .25x 2.mp4"},
             {"clip Snapshot 1 2.png", "clip Snapshot 2 2.png"},
             {"clip Joined 2.mp4"},
             {"clip Redacted 4.mp4"},
             {"clip Redacted 5.mp4"},
             {"clip Redacted 6.mp4"},
             {"clip Muted 2.mp4"}},
        };
        for (const QList<QStringList>& results : runs) {
            const Run run = selftest(dir);
            QCOMPARE(run.status, 0);
            QCOMPARE(run.lines.size(), names.size() + 1);
            for (qsizetype i = 0; i < names.size(); ++i)
                verifyPassed(run.lines[i], names[i], dir, results[i]);
            QCOMPARE(run.lines.last(), QStringLiteral("All tool checks passed."));
        }
        // The crop's fixed rectangle (0.1, 0.1, 0.5 × 0.4) of the 640 × 480 photo.
        QCOMPARE(QImage(QDir(dir).filePath("photo Cropped.jpg")).size(), QSize(320, 192));
        QCOMPARE(QDir(QDir(dir).filePath("sample Pages")).entryList(QDir::Files).size(), 3);
    }

    void missingSampleFailsOnlyItsChecks_data()
    {
        QTest::addColumn<QStringList>("removed");
        QTest::addColumn<QStringList>("failing");
        QTest::newRow("no clip.mp4") << QStringList{"clip.mp4"} << clipChecks;
        QTest::newRow("no clip.mov") << QStringList{"clip.mov"} << QStringList{"join"};
        QTest::newRow("no song.mp3") << QStringList{"song.mp3"} << audioChecks;
        QTest::newRow("no photo.png") << QStringList{"photo.png"} << QStringList{"create pdf"};
        QTest::newRow("no sample.pdf") << QStringList{"sample.pdf"} << QStringList{"split pdf"};
        QTest::newRow("empty folder")
            << QStringList{"photo.jpg", "photo.png", "clip.mp4", "clip.mov", "song.mp3", "sample.pdf"}
            << names;
    }

    void missingSampleFailsOnlyItsChecks()
    {
        QFETCH(QStringList, removed);
        QFETCH(QStringList, failing);
        QTemporaryDir folder;
        const QString dir = copy(folder);
        for (const QString& name : removed)
            QVERIFY(QFile::remove(QDir(dir).filePath(name)));

        const Run run = selftest(dir);
        QCOMPARE(run.status, 1);
        QCOMPARE(run.lines.size(), names.size() + 1);
        for (qsizetype i = 0; i < names.size(); ++i) {
            const bool fails = failing.contains(names[i]);
            const QString start = (fails ? QStringLiteral("✗ ") : QStringLiteral("✓ ")) + names[i] + ": ";
            QVERIFY2(run.lines[i].startsWith(start), qPrintable(run.lines[i]));
            if (fails) QVERIFY2(run.lines[i].size() > start.size(), "a failure names its cause");
        }
        QCOMPARE(run.lines.last(), QStringLiteral("%1 tool checks failed.").arg(failing.size()));
    }

    // A sample gone is said to be gone by the image, PDF and media checks alike, and the
    // programs' own words about it stay off standard error.
    void missingSampleIsSaidToBeGone_data()
    {
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QStringList>("failing");
        QTest::newRow("image") << "photo.jpg"
                               << QStringList{"crop", "edit", "annotate", "create pdf", "visualize bars+bg"};
        QTest::newRow("second image") << "photo.png" << QStringList{"create pdf"};
        QTest::newRow("pdf") << "sample.pdf" << QStringList{"split pdf"};
        QTest::newRow("media") << "clip.mp4" << clipChecks;
        QTest::newRow("sound") << "song.mp3" << audioChecks;
    }

    void missingSampleIsSaidToBeGone()
    {
        QFETCH(QString, removed);
        QFETCH(QStringList, failing);
        QTemporaryDir folder;
        const QString dir = copy(folder);
        QVERIFY(QFile::remove(QDir(dir).filePath(removed)));
        const Run run = selftest(dir);
        QCOMPARE(run.status, 1);
        for (const QString& name : failing)
            QVERIFY2(run.lines.contains(QStringLiteral("✗ %1: %2 is no longer there").arg(name, removed)),
                     qPrintable(run.lines.join('\n')));
        QCOMPARE(run.err, QString());
    }
};

QTEST_GUILESS_MAIN(SelfTestTest)
#include "test_selftest.moc"
