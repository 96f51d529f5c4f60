// Results shown in the file manager when a job ends, on a computer without one that answers:
// xdg-open opens the folder, and when nothing can, a warning says why once in the session.

#include "app/revealresults.h"
#include "core/jobs.h"
#include "core/settings.h"

#include <QtTest>

constexpr int patience = 10000;

class RevealResultsTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QStringList m_warnings;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // A search path holding only an xdg-open that runs `body`, or no program at all.
    void searchOnly(const QByteArray& body)
    {
        QDir(path("bin")).removeRecursively();
        QVERIFY(QDir().mkpath(path("bin")));
        if (!body.isEmpty()) {
            QFile opener(path("bin/xdg-open"));
            QVERIFY(opener.open(QIODevice::WriteOnly));
            opener.write("#!/bin/sh\n" + body);
            opener.close();
            QVERIFY(opener.setPermissions(opener.permissions() | QFile::ExeOwner));
        }
        qputenv("TOLVANE_SEARCH_PATH", QFile::encodeName(path("bin")));
        m_warnings.clear();
        Jobs::setRevealer(RevealResults::revealer(
            RevealResults::inFileManager,
            [this](const QString& title, const QString& detail) { m_warnings << title + '|' + detail; }));
    }

    // Runs a job that saves `result` and waits until it has ended.
    static void runJob(const QString& result)
    {
        const auto job =
            Jobs::run(QStringLiteral("Converting"), {result}, std::nullopt,
                      [](const QString& file, Job&, const Progress&) { return QStringList{file}; });
        QVERIFY(QTest::qWaitFor([&] { return job->state().phase != Job::Phase::running; }, patience));
        QCOMPARE(job->state().phase, Job::Phase::done);
    }

  private slots:
    void initTestCase()
    {
        // No session bus: the file manager's own call fails at once.
        qputenv("DBUS_SESSION_BUS_ADDRESS", QFile::encodeName("unix:path=" + path("no-bus")));
        Settings::shared().setRevealInFinder(true);
        QVERIFY(QDir().mkpath(path("out")));
        QFile result(path("out/a.png"));
        QVERIFY(result.open(QIODevice::WriteOnly));
    }

    // Neither a file manager nor xdg-open: the first job says so, the next ones don't.
    void nothingInstalled()
    {
        searchOnly({});
        for (int i = 0; i < 3; ++i)
            runJob(path("out/a.png"));
        QCOMPARE(m_warnings, QStringList{"Couldn’t show the results in the file manager|"
                                         "No file manager is installed that can show them."});
    }

    // xdg-open with nothing to open a folder with, as it says it.
    void nothingOpensFolders()
    {
        searchOnly("echo \"xdg-open: no method available for opening '$1'\" >&2\nexit 3\n");
        runJob(path("out/a.png"));
        QVERIFY(QTest::qWaitFor([&] { return !m_warnings.isEmpty(); }, patience));
        QCOMPARE(m_warnings, QStringList{"Couldn’t show the results in the file manager|xdg-open: no method "
                                         "available for opening '" +
                                         path("out") + "'"});
    }

    // xdg-open that opens it: the results' folder is asked for.
    void folderOpened()
    {
        searchOnly("echo \"$1\" > '" + QFile::encodeName(path("asked")) + "'\n");
        runJob(path("out/a.png"));
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo(path("asked")).size() > 0; }, patience));
        QFile asked(path("asked"));
        QVERIFY(asked.open(QIODevice::ReadOnly));
        QCOMPARE(asked.readAll().trimmed(), QFile::encodeName(path("out")));
    }
};

QTEST_MAIN(RevealResultsTest)
#include "test_revealresults.moc"
