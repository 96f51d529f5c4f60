#include "core/converterror.h"
#include "core/job.h"
#include "core/shell.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <csignal>
#include <future>

namespace {

Shell::Result sh(const QString& script, const QStringList& extra = {}, const std::optional<QString>& cwd = {},
                 Job* job = nullptr, const std::function<void(const QString&)>& onLine = {})
{
    return Shell::run("/bin/sh", QStringList{"-c", script, "sh"} + extra, cwd, job, onLine);
}

// False once the process is gone or only a zombie is left of it.
bool alive(pid_t pid)
{
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return false;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close > 0 && text.size() > close + 2 && text.at(close + 2) != 'Z';
}

// A generous bound for runs that must end promptly; a hang fails the test instead of blocking it.
template <typename T>
bool endsSoon(std::future<T>& future)
{
    return future.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
}

void makeProgram(const QString& path, QFile::Permissions permissions)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n");
    file.close();
    QVERIFY(file.setPermissions(permissions));
}

constexpr auto executable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
constexpr auto plain = QFile::ReadOwner | QFile::WriteOwner;

} // namespace

class ShellTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { qunsetenv("TOLVANE_SEARCH_PATH"); }

    void linesArriveWhileRunning()
    {
        QTemporaryDir dir;
        const QString flag = dir.filePath("flag");
        QStringList lines;
        // The child goes on only once the callback has seen its first line; "seen" proves it did.
        const auto result = sh("printf 'one\\n'; i=0;"
                               "while [ ! -e \"$1\" ] && [ $i -lt 300 ]; do sleep 0.01; i=$((i+1)); done;"
                               "[ -e \"$1\" ] && echo seen; printf 'two\\r\\nlast'",
                               {flag}, {}, nullptr, [&](const QString& line) {
                                   lines << line;
                                   if (line == "one") QFile(flag).open(QIODevice::WriteOnly);
                               });
        QCOMPARE(lines, QStringList({"one", "seen", "two\r"}));
        QCOMPARE(result.stdoutBytes, QByteArray("one\nseen\ntwo\r\nlast"));
        QCOMPARE(result.status, 0);
    }

    void results_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("silent failure") << "exit 1" << 1 << "" << "";
        QTest::newRow("standard error") << "echo done; echo oops >&2; exit 3" << 3 << "done\n" << "oops\n";
        QTest::newRow("bad UTF-8") << "printf 'a\\377b' >&2; printf '\\377'" << 0 << "\uFFFD" << "a\uFFFDb";
        QTest::newRow("killed") << "kill -KILL $$" << 137 << "" << "";
        QTest::newRow("stdin is the null device") << "cat; readlink /proc/$$/fd/0" << 0 << "/dev/null\n"
                                                  << "";
    }

    void results()
    {
        QFETCH(QString, script);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const auto result = sh(script);
        QCOMPARE(result.status, status);
        QCOMPARE(result.out(), out);
        QCOMPARE(result.stderrText, err);
    }

    void environmentAndFolder()
    {
        QTemporaryDir dir;
        const auto result = sh("echo \"$PATH\"; pwd -P", {}, dir.path());
        const QString folder = QDir(dir.path()).canonicalPath();
        QCOMPARE(result.out(), Shell::searchPaths().join(':') + "\n" + folder + "\n");
    }

    // Both pipes are read while the child runs, and lines split across reads stay whole.
    void largeOutputDoesNotStall()
    {
        int count = 0;
        bool intact = true;
        auto future = std::async(std::launch::async, [&] {
            return sh("head -c 1048576 /dev/zero | tr '\\0' e >&2; yes abcdefg | head -n 150000", {}, {},
                      nullptr, [&](const QString& line) {
                          ++count;
                          intact = intact && line == "abcdefg";
                      });
        });
        QVERIFY(endsSoon(future));
        const auto result = future.get();
        QCOMPARE(result.stderrText.size(), 1048576);
        QCOMPARE(result.stdoutBytes.size(), 150000 * 8);
        QCOMPARE(count, 150000);
        QVERIFY(intact);
    }

    void grandchildHoldingPipes()
    {
        auto future = std::async(std::launch::async, [] { return sh("sleep 30 & echo $!; echo hi"); });
        QVERIFY(endsSoon(future));
        const auto result = future.get();
        const QStringList lines = result.out().split('\n');
        QCOMPARE(lines.value(1), QString("hi"));
        ::kill(pid_t(lines.value(0).toInt()), SIGKILL);
    }

    // Every way a run can be abandoned ends it promptly and leaves no process behind.
    void abandon_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("error");
        QTest::newRow("cancel before the start") << "echo $$; exec sleep 30" << "early" << "Cancelled";
        QTest::newRow("cancel while running") << "echo $$; exec sleep 30" << "cancel" << "Cancelled";
        QTest::newRow("cancel the whole group") << "sleep 30 & echo $!; wait" << "cancel" << "Cancelled";
        QTest::newRow("group ignoring SIGTERM") << "trap '' TERM; sleep 30 & echo $!; wait"
                                                << "cancel"
                                                << "Cancelled";
        QTest::newRow("callback throws") << "echo $$; exec sleep 30" << "throw" << "bad progress";
    }

    void abandon()
    {
        QFETCH(QString, script);
        QFETCH(QString, how);
        QFETCH(QString, error);
        Job job("Test", QString(), 0);
        if (how == "early") job.cancel();
        std::atomic<pid_t> pid = 0;
        auto future = std::async(std::launch::async, [&] {
            try {
                sh(script, {}, {}, &job, [&](const QString& line) {
                    pid = line.toInt();
                    if (how == "throw") throw ConvertError::failed("bad progress");
                });
                return QString("finished");
            } catch (const ConvertError& e) {
                return e.description();
            }
        });
        if (how == "cancel") {
            QTRY_VERIFY(pid > 0);
            job.cancel();
        }
        QVERIFY(future.wait_for(std::chrono::seconds(8)) == std::future_status::ready);
        QCOMPARE(future.get(), error);
        if (pid > 0) QTRY_VERIFY(!alive(pid));
    }

    void terminateAll()
    {
        std::atomic<bool> started = false;
        auto future = std::async(std::launch::async, [&] {
            return sh("echo go; exec sleep 30", {}, {}, nullptr, [&](const QString&) { started = true; });
        });
        QTRY_VERIFY(started);
        Shell::terminateAll();
        QVERIFY(endsSoon(future));
        QCOMPARE(future.get().status, 128 + SIGTERM);
    }

    void startFailures_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << "/nonexistent/tolvane-none"
                                 << "Couldn’t start tolvane-none: No such file or directory";
        QTest::newRow("folder") << "/tmp" << "Couldn’t start tmp: Permission denied";
    }

    void startFailures()
    {
        QFETCH(QString, program);
        QFETCH(QString, message);
        Job job("Test", QString(), 0);
        try {
            Shell::run(program, {}, std::nullopt, &job);
            QFAIL("a program that cannot start ran");
        } catch (const ConvertError& e) {
            QCOMPARE(e.kind(), ConvertError::Kind::failed);
            QCOMPARE(e.description(), message);
        }
        // The job holds no process any more: a cancel now signals nothing.
        job.cancel();
    }

    void find()
    {
        QTemporaryDir first, second;
        makeProgram(first.filePath("both"), executable);
        makeProgram(second.filePath("both"), executable);
        makeProgram(first.filePath("later"), plain);
        makeProgram(second.filePath("later"), executable);
        makeProgram(first.filePath("plain"), plain);
        QVERIFY(QDir(first.path()).mkdir("folder"));
        qputenv("TOLVANE_SEARCH_PATH", (first.path() + ":" + second.path()).toUtf8());

        QCOMPARE(Shell::searchPaths(), QStringList({first.path(), second.path()}));
        QCOMPARE(Shell::find("both").value_or(QString()), first.filePath("both"));
        QCOMPARE(Shell::find("later").value_or(QString()), second.filePath("later"));
        QVERIFY(!Shell::find("plain"));
        QVERIFY(!Shell::find("folder"));
        QVERIFY(!Shell::find("missing"));
        makeProgram(second.filePath("installed"), executable);
        QCOMPARE(Shell::find("installed").value_or(QString()), second.filePath("installed"));
    }

    void failureText_data()
    {
        QTest::addColumn<QString>("stderrText");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("expected");
        QTest::newRow("last three lines") << "one\ntwo\n\nthree\nfour\n" << 2 << "zip failed: two three four";
        QTest::newRow("one line, no feed") << "bad option" << 1 << "zip failed: bad option";
        QTest::newRow("blank") << "\n\n" << 3 << "zip failed: exit 3";
        QTest::newRow("empty") << "" << 3 << "zip failed: exit 3";
    }

    void failureText()
    {
        QFETCH(QString, stderrText);
        QFETCH(int, status);
        QFETCH(QString, expected);
        Shell::Result result;
        result.status = status;
        result.stderrText = stderrText;
        QCOMPARE(Shell::failureText("/usr/bin/zip", result), expected);
    }
};

QTEST_GUILESS_MAIN(ShellTest)
#include "test_shell.moc"
