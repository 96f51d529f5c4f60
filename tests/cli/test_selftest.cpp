// --selftest through the program over the samples the fixture script makes: every check passes
// and names its results with their sizes, a second run writes beside the first under new names,
// and a missing sample fails only the checks that use it. Run under a German locale, whose
// decimal comma must not reach the output.

#include "core/fmt.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include "../support/processes.h"

namespace {

struct Run
{
    int status = -1;
    QStringList lines;
    QString err;
};

Run selftest(const QString& dir, const QString& configHome = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "de_DE.UTF-8");
    if (!configHome.isEmpty()) env.insert("XDG_CONFIG_HOME", configHome);
    p.setProcessEnvironment(env);
    p.start(TOLVANE_BIN, {"--selftest", dir});
    if (!p.waitForFinished(120000)) return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
            QString::fromUtf8(p.readAllStandardError())};
}

const QStringList names{"crop", "edit", "annotate", "create pdf", "split pdf", "mute"};

// "✓ <name>: <file> (<size>)  [<seconds>s]" for a check that wrote `result` in `dir`.
void verifyPassed(const QString& line, const QString& name, const QString& dir, const QString& result)
{
    const QString path = QDir(dir).filePath(result);
    QVERIFY2(QFileInfo::exists(path), qPrintable(path));
    const QString head =
        QStringLiteral("✓ %1: %2 (%3)").arg(name, result, Fmt::byteCount(Fmt::fileSize(path)));
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
        const QStringList results{"photo Cropped%1.jpg",    "photo Edited%1.jpg", "photo Annotated%1.jpg",
                                  "photo and 1 more%1.pdf", "sample Pages%1",     "clip Muted%1.mp4"};
        for (const QString& number : {QString(), QStringLiteral(" 2")}) {
            const Run run = selftest(dir);
            QCOMPARE(run.status, 0);
            QCOMPARE(run.lines.size(), names.size() + 1);
            for (qsizetype i = 0; i < names.size(); ++i)
                verifyPassed(run.lines[i], names[i], dir, results[i].arg(number));
            QCOMPARE(run.lines.last(), QStringLiteral("All tool checks passed."));
        }
        // The crop's fixed rectangle (0.1, 0.1, 0.5 × 0.4) of the 640 × 480 photo.
        QCOMPARE(QImage(QDir(dir).filePath("photo Cropped.jpg")).size(), QSize(320, 192));
        QCOMPARE(QDir(QDir(dir).filePath("sample Pages")).entryList(QDir::Files).size(), 3);
    }

    // A user who saves results in a folder of their own gets nothing of the self-test there, nor
    // in their settings: the results stay beside the samples. No program is left running on them.
    void keepsOutOfTheUsersFolder()
    {
        QTemporaryDir folder, config, usersFolder;
        const QString dir = copy(folder);
        QVERIFY(!dir.isEmpty() && QDir().mkpath(config.filePath("Tolvane")));
        const QByteArray settings =
            "[General]\nsaveLocation=folder\noutputFolder=" + QFile::encodeName(usersFolder.path()) + "\n";
        QFile file(config.filePath("Tolvane/Tolvane.conf"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(settings) == settings.size());
        file.close();

        const Run run = selftest(dir, config.path());
        QCOMPARE(run.status, 0);
        verifyPassed(run.lines[0], "crop", dir, "photo Cropped.jpg");
        verifyPassed(run.lines[5], "mute", dir, "clip Muted.mp4");
        QCOMPARE(QDir(usersFolder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), settings);
        QCOMPARE(processesNaming(QFile::encodeName(dir)), QStringList());
    }

    void missingSampleFailsOnlyItsChecks_data()
    {
        QTest::addColumn<QStringList>("removed");
        QTest::addColumn<QStringList>("failing");
        QTest::newRow("no clip.mp4") << QStringList{"clip.mp4"} << QStringList{"mute"};
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
        QTest::newRow("image") << "photo.jpg" << QStringList{"crop", "edit", "annotate", "create pdf"};
        QTest::newRow("second image") << "photo.png" << QStringList{"create pdf"};
        QTest::newRow("pdf") << "sample.pdf" << QStringList{"split pdf"};
        QTest::newRow("media") << "clip.mp4" << QStringList{"mute"};
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
