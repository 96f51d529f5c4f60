#include "core/converterror.h"
#include "core/job.h"
#include "core/shell.h"

#include <QtTest>
#include <atomic>
#include <csignal>
#include <future>

class ShellTest : public QObject
{
    Q_OBJECT

    // False once the process is gone or only a zombie is left of it ("pid (name) Z ...").
    static bool alive(pid_t pid)
    {
        QFile stat(QString("/proc/%1/stat").arg(pid));
        return stat.open(QIODevice::ReadOnly) && !stat.readAll().contains(") Z ");
    }

  private slots:
    void cleanup() { qunsetenv("TOLVANE_SEARCH_PATH"); }

    // Every complete line reaches the callback, without its line feed; a last line without one
    // stays in the bytes only. A failure's text is the last three lines of standard error.
    void results_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<QString>("failure"); // empty: not checked
        // The child goes on once the callback has seen its first line: "seen" proves it did.
        const char* whileRunning = "echo one; i=0; while [ ! -e flag ] && [ $i -lt 300 ]; do sleep 0.01; "
                                   "i=$((i+1)); done; [ -e flag ] && echo seen; printf 'two\\r\\nlast'";
        // Both pipes are read while the child runs, and lines split across reads stay whole.
        const char* large = "head -c 1048576 /dev/zero | tr '\\0' e >&2; yes abcdefg | head -n 150000";
        // clang-format off
        QTest::newRow("lines while running") << whileRunning << 0 << "one\nseen\ntwo\r\nlast" << "" << "";
        QTest::newRow("large output") << large << 0 << QString("abcdefg\n").repeated(150000)
                                      << QString(1048576, 'e') << "";
        QTest::newRow("standard error") << "printf 'one\\ntwo\\n\\nthree\\nfour\\n' >&2; exit 3" << 3 << ""
                                        << "one\ntwo\n\nthree\nfour\n" << "sh failed: two three four";
        QTest::newRow("bad UTF-8") << "printf 'a\\377b' >&2; printf '\\377'" << 0 << "\uFFFD" << "a\uFFFDb"
                                   << "sh failed: a\uFFFDb";
        QTest::newRow("killed") << "echo >&2; kill -9 $$" << 137 << "" << "\n" << "sh failed: exit 137";
        QTest::newRow("stdin") << "cat; readlink /proc/$$/fd/0" << 0 << "/dev/null\n" << "" << "";
        QTest::newRow("folder and PATH") << "pwd -P; echo \"$PATH\"" << 0 << "$DIR\n$PATH\n" << "" << "";
        // The rest of the environment passes on byte for byte, beside a single PATH.
        QTest::newRow("environment") << "printf '%s' \"$SHELL_TEST_BYTES\" | od -An -tx1; "
                                        "tr '\\0' '\\n' < /proc/$$/environ | grep -c '^PATH='"
                                     << 0 << " 61 ff 3d 62\n1\n" << "" << "";
        // clang-format on
    }

    void results()
    {
        QFETCH(QString, script);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(QString, failure);
        QTemporaryDir dir;
        QStringList lines;
        qputenv("SHELL_TEST_BYTES", "a\xff=b");
        const auto result = Shell::run("/bin/sh", {"-c", script}, dir.path(), nullptr, [&](const QString& l) {
            if (lines.isEmpty()) QFile(dir.filePath("flag")).open(QIODevice::WriteOnly);
            lines << l;
        });
        out.replace("$DIR", QDir(dir.path()).canonicalPath())
            .replace("$PATH", Shell::searchPaths().join(':'));
        QCOMPARE(result.status, status);
        QCOMPARE(result.out(), out);
        QCOMPARE(lines, out.split('\n').mid(0, out.count('\n')));
        QCOMPARE(result.stderrText, err);
        if (!failure.isEmpty()) QCOMPARE(Shell::failureText("/bin/sh", result), failure);
    }

    // Every run ends promptly, and one that is abandoned leaves no process behind.
    void endsPromptly_data()
    {
        QTest::addColumn<QString>("script"); // its last line is the pid to watch; for "start", the program
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("outcome");
        const char* deaf = "(trap '' TERM; exec sleep 30) & echo $!; wait";
        // clang-format off
        QTest::newRow("grandchild holds the pipes") << "sleep 30 & echo $!" << "wait" << "exit 0";
        QTest::newRow("cancel before the start") << "echo $$; exec sleep 30" << "early" << "Cancelled";
        QTest::newRow("cancel the whole group") << "sleep 30 & echo $!; wait" << "cancel" << "Cancelled";
        QTest::newRow("callback throws") << "echo $$; exec sleep 30" << "throw" << "bad progress";
        QTest::newRow("terminate all") << "echo $$; exec sleep 30" << "terminate" << "exit 143";
        QTest::newRow("missing") << "/no/x" << "start" << "Couldn’t start x: No such file or directory";
        QTest::newRow("time limit") << "sleep 30 & echo $!; wait" << "limit" << "timed out, exit 143";
        // The child ends at once, but what it started ignores SIGTERM: it is killed before the run returns.
        QTest::newRow("cancel: deaf member") << deaf << "cancel" << "Cancelled";
        QTest::newRow("time limit: deaf member") << deaf << "limit" << "timed out, exit 143";
        // clang-format on
    }

    void endsPromptly()
    {
        QFETCH(QString, script);
        QFETCH(QString, how);
        QFETCH(QString, outcome);
        Job job("Test", QString(), 0);
        if (how == "early") job.cancel();
        std::atomic<pid_t> pid = 0;
        const auto onLine = [&](const QString& line) {
            pid = line.toInt();
            if (how == "throw") throw ConvertError::failed("bad progress");
        };
        auto future = std::async(std::launch::async, [&] {
            try {
                const auto limit =
                    how == "limit" ? std::optional(std::chrono::milliseconds(300)) : std::nullopt;
                const auto result = how == "start"
                                        ? Shell::run(script, {}, {}, &job)
                                        : Shell::run("/bin/sh", {"-c", script}, {}, &job, onLine, limit);
                return (result.timedOut ? "timed out, exit " : "exit ") + QString::number(result.status);
            } catch (const ConvertError& e) {
                return e.description();
            }
        });
        if (how == "cancel" || how == "terminate") QTRY_VERIFY(pid > 0);
        if (how == "cancel") job.cancel();
        if (how == "terminate") Shell::terminateAll();
        // A generous bound: a run that hangs for its child's 30 seconds fails instead of passing late.
        QVERIFY(future.wait_for(std::chrono::seconds(5)) == std::future_status::ready);
        QCOMPARE(future.get(), outcome);
        if (how == "wait") ::kill(pid, SIGKILL); // a grandchild outlives a finished run by design
        // A cancelled or stopped run returns only once its whole group is gone.
        if (how == "cancel" || how == "limit") QVERIFY(!alive(pid));
        QTRY_VERIFY(!alive(pid));
    }

    // A started program that is dropped unwaited (the work beside it failed) leaves nothing of
    // its group behind; one that is waited for on another thread reports as run() does.
    void startedPrograms()
    {
        QTemporaryDir dir;
        const QString pids = dir.filePath("pids");
        {
            const Shell::Started dropped = Shell::start(
                "/bin/sh", {"-c", "sleep 30 & echo $$ $! > " + pids + "; wait"}, Shell::Options{});
            QTRY_VERIFY(QFileInfo(pids).size() > 0);
        }
        QFile file(pids);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> group = file.readAll().simplified().split(' ');
        QCOMPARE(group.size(), 2);
        for (const QByteArray& pid : group)
            QVERIFY(!alive(pid.toInt()));

        Shell::Options options;
        QStringList lines;
        options.onLine = [&](const QString& line) { lines << line; };
        Shell::Started started = Shell::start("/bin/sh", {"-c", "echo one; exit 4"}, std::move(options));
        const Shell::Result result = std::async(std::launch::async, [&] { return started.wait(); }).get();
        QCOMPARE(result.status, 4);
        QCOMPARE(lines, QStringList{"one"});
    }

    // Standard output handed over as it arrives is complete and in order, reaches the callback
    // while the child runs (the child waits for the callback's flag), and is not also kept.
    void streamsOutput()
    {
        QTemporaryDir dir;
        const char* script = "printf 'one\\ntw'; while [ ! -e flag ]; do sleep 0.01; done; "
                             "printf 'o\\n'; head -c 3000000 /dev/zero | tr '\\0' x";
        QByteArray streamed;
        QStringList lines;
        Shell::Options options;
        options.cwd = dir.path();
        options.timeLimit = std::chrono::seconds(20); // a callback that only came at the end would hang
        options.onOutput = [&](QByteArrayView bytes) {
            if (streamed.isEmpty()) QFile(dir.filePath("flag")).open(QIODevice::WriteOnly);
            streamed += bytes;
        };
        options.onLine = [&](const QString& line) { lines << line; };
        const auto result = Shell::run("/bin/sh", {"-c", script}, options);
        QVERIFY(!result.timedOut);
        QCOMPARE(result.status, 0);
        QCOMPARE(streamed, "one\ntwo\n" + QByteArray(3000000, 'x'));
        QCOMPARE(lines, QStringList({"one", "two"}));
        QVERIFY(result.stdoutBytes.isEmpty());
    }

    // The first search folder holding an executable file by that name wins.
    void find()
    {
        QTemporaryDir root;
        const QString a = root.filePath("a"), b = root.filePath("b");
        const char* setup =
            "mkdir -p a/folder b; touch a/both b/both a/later b/later a/plain; chmod +x a/both b/*";
        QCOMPARE(Shell::run("/bin/sh", {"-c", setup}, root.path()).status, 0);
        qputenv("TOLVANE_SEARCH_PATH", (a + ":" + b).toUtf8());
        QCOMPARE(Shell::find("both").value_or(QString()), a + "/both");
        QCOMPARE(Shell::find("later").value_or(QString()), b + "/later");
        QVERIFY(!Shell::find("plain") && !Shell::find("folder") && !Shell::find("missing"));
    }
};

QTEST_GUILESS_MAIN(ShellTest)
#include "test_shell.moc"
