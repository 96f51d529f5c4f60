#include "core/converterror.h"
#include "core/jobs.h"
#include "core/output.h"
#include "core/settings.h"
#include "core/shell.h"

#include <QtTest>
#include <atomic>
#include <sys/stat.h>

// Work by file name: "fail…" fails, "std…", "oom…" and "int…" throw other things, "stop…" throws a
// cancellation nobody asked for, "none…" saves nothing; anything else (a pipe too, if it were
// ever handed over) reports half way and saves one result.
static Jobs::FileWork fakeWork()
{
    return [](const QString& file, Job& job, const std::function<void(double)>& progress) {
        const QString name = QFileInfo(file).fileName();
        if (name.startsWith("fail")) throw ConvertError::failed("Can’t read " + name);
        if (name.startsWith("std")) throw std::runtime_error("bad_alloc-ish");
        if (name.startsWith("int")) throw 42;
        if (name.startsWith("oom")) throw std::bad_alloc();
        if (name.startsWith("stop")) throw ConvertError::cancelled();
        progress(0.5);
        return name.startsWith("none") ? QStringList() : QStringList{file + ".out"};
    };
}

// A generous limit for what one thread waits for another to do.
constexpr int patience = 10000;

class JobTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QList<QStringList> m_revealed;
    std::optional<QPointF> m_shownAt;

    static bool ends(Job& job) { return QSignalSpy(&job, &Job::stateChanged).wait(5000); }
    static QString describe(const Job::State& s)
    {
        return s.phase == Job::Phase::failed ? s.message : s.phase == Job::Phase::done ? "done" : "cancelled";
    }

    // Files of 100 bytes each, named in a comma-separated list, "pipe…" a named pipe; the warning
    // of each file that fails is expected.
    QStringList files(const QString& names)
    {
        QStringList paths;
        for (const QString& name : names.split(',', Qt::SkipEmptyParts)) {
            QFile f(m_dir.filePath(name));
            if (name.startsWith("pipe"))
                ::mkfifo(QFile::encodeName(f.fileName()).constData(), 0600);
            else if (f.open(QIODevice::WriteOnly))
                f.write(QByteArray(100, 'x'));
            paths << f.fileName();
            if (name.contains(QRegularExpression("^(fail|std|oom|int|stop|pipe)")))
                QTest::ignoreMessage(QtWarningMsg, QRegularExpression(f.fileName() + " failed: "));
        }
        return paths;
    }

  private slots:
    void init()
    {
        QTest::failOnWarning(QRegularExpression(".")); // only the failures a row expects are logged
        Jobs::setRevealer([this](const QStringList& paths) { m_revealed << paths; });
        Jobs::setPresenter([this](const auto&, std::optional<QPointF> at) { m_shownAt = at; });
        Settings::store()->clear();
        m_revealed.clear();
    }

    // Files run side by side and end in any order, yet the detail only counts up, the bar
    // measures all files, the results keep the files' order and the message is that of the last
    // failed file in that order.
    void filesSideBySide()
    {
        if (QThread::idealThreadCount() < 2) QSKIP("one core runs one file at a time");
        const QStringList paths = files("a.txt,fail1.txt,c.txt,fail2.txt");
        // Each file goes on only with as many running as there are cores (all four on a big
        // machine), and fail2 ends before fail1.
        const int together = std::min(4, QThread::idealThreadCount());
        QSemaphore running, fail2Ended;
        const auto work = [&](const QString& file, Job&, const std::function<void(double)>& progress) {
            const QString name = QFileInfo(file).completeBaseName();
            running.release();
            if (!running.tryAcquire(together, patience)) throw ConvertError::failed("ran alone");
            running.release(together);
            if (name == "fail1" && !fail2Ended.tryAcquire(1, patience))
                throw ConvertError::failed("fail2 never ended");
            progress(0.5);
            if (name == "fail2") fail2Ended.release();
            if (name.startsWith("fail")) throw ConvertError::failed("Can’t read " + name);
            return QStringList{file + ".out"};
        };
        const auto job = Jobs::run("Converting to PNG", paths, QPointF(10, 20), work);
        QCOMPARE(m_shownAt.value_or(QPointF()), QPointF(10, 20));
        QStringList details{job->detail()};
        QList<double> bar;
        connect(job.get(), &Job::detailChanged, job.get(), [&] { details << job->detail(); });
        connect(job.get(), &Job::progressChanged, job.get(), [&] { bar << *job->progress(); });
        QVERIFY(ends(*job));
        QCOMPARE(job->state(), Job::State::failed("fail2.txt: Can’t read fail2"));
        QCOMPARE(job->results(), QStringList({paths[0] + ".out", paths[2] + ".out"}));
        QCOMPARE(details.first(), "0 of 4 saved");
        QCOMPARE(details.last(), "2 of 4 saved");
        QVERIFY2(std::is_sorted(details.begin(), details.end()), qPrintable(details.join(", ")));
        QVERIFY(std::is_sorted(bar.begin(), bar.end()) && bar.first() <= 0.5 && bar.last() == 1.0);
    }

    // At most one file per core runs at once, or one in all when the job runs its files one after
    // another; a cancel ends every child running for the job, and files not yet started are
    // neither tried nor counted.
    void cancelEndsEveryFile_data()
    {
        QTest::addColumn<Jobs::Order>("order");
        QTest::addColumn<int>("together");
        QTest::newRow("side by side") << Jobs::Order::sideBySide << QThread::idealThreadCount();
        QTest::newRow("one after another") << Jobs::Order::oneAfterAnother << 1;
    }

    void cancelEndsEveryFile()
    {
        QFETCH(Jobs::Order, order);
        QFETCH(int, together);
        const int cores = QThread::idealThreadCount();
        QStringList names;
        for (int i = 0; i < cores + 2; ++i)
            names << QString("clip%1").arg(i);
        std::atomic<int> started = 0, up = 0;
        const auto work = [&](const QString&, Job& job, const auto&) -> QStringList {
            ++started;
            Shell::Options options;
            options.job = &job;
            options.onLine = [&](const QString&) { ++up; };
            options.timeLimit = std::chrono::seconds(20);
            Shell::run("/bin/sh", {"-c", "echo up; exec sleep 30"}, options);
            return {};
        };
        const auto job = Jobs::run("Converting to MP3", files(names.join(',')), {}, work, order);
        // No work ends before the cancel: as many run at once as have started.
        QTRY_COMPARE_WITH_TIMEOUT(up.load(), together, patience);
        job->cancel();
        QVERIFY(ends(*job));
        QCOMPARE(job->state().phase, Job::Phase::cancelled);
        QCOMPARE(started.load(), together);
        QCOMPARE(job->detail(), QString("0 of %1 saved").arg(cores + 2));
        QVERIFY(job->elapsed() < 10); // the children ended by the cancel, not by the time limit
    }

    // Work that ignores the cancel and ends normally still keeps the next file from starting: once
    // the user has cancelled nothing more is saved.
    void noFileAfterACancel()
    {
        std::atomic<int> started = 0;
        const auto work = [&](const QString& file, Job& job, const auto&) -> QStringList {
            if (++started == 1 && !QTest::qWaitFor([&] { return job.isCancelled(); }, patience))
                throw ConvertError::failed("never cancelled");
            return {Output::write(file + ".out", [](const QString& temporary) {
                QFile(temporary).open(QIODevice::WriteOnly);
            })};
        };
        const auto job =
            Jobs::run("Converting to MP4", files("one,two,three"), {}, work, Jobs::Order::oneAfterAnother);
        QTRY_COMPARE_WITH_TIMEOUT(started.load(), 1, patience);
        job->cancel();
        QVERIFY(ends(*job));
        QCOMPARE(job->state().phase, Job::Phase::cancelled);
        QCOMPARE(started.load(), 1);
        QCOMPARE(QDir(m_dir.path()).entryList({"two.out", "three.out"}), QStringList());
    }

    // As the application ends every running job is cancelled and a child run without a job ends
    // too: stopAll returns long before the children would end by themselves, and the hidden file
    // the work was writing is gone by then.
    void stopAllEndsTheWork()
    {
        std::atomic<int> up = 0;
        const auto sleep = [&](Job* job, const QStringList& args) {
            Shell::Options options;
            options.job = job;
            options.onLine = [&](const QString&) { ++up; };
            options.timeLimit = std::chrono::seconds(60);
            Shell::run("/bin/sh", QStringList{"-c", "echo up > \"$0\"; echo up; exec sleep 90"} + args,
                       options);
        };
        const auto withChild = [&](const QString& file, Job& job, const auto&) -> QStringList {
            return {
                Output::write(file + ".out", [&](const QString& temporary) { sleep(&job, {temporary}); })};
        };
        const auto cancelled = Jobs::run("Converting", files("a.txt"), {}, withChild);
        Jobs::runOnce("Previewing", "", 0, {}, [&](Job&, const auto&) -> QStringList {
            sleep(nullptr, {"/dev/null"});
            return {};
        });
        QTRY_COMPARE_WITH_TIMEOUT(up.load(), 2, patience);
        QVERIFY(Jobs::stopAll(std::chrono::seconds(30)));
        QVERIFY(cancelled->isCancelled());
        QCOMPARE(QDir(m_dir.path()).entryList({"a.txt.out", ".tolvane-*"}, QDir::AllEntries | QDir::Hidden),
                 QStringList());
    }

    // Jobs never queue behind each other unseen: more jobs than cores all start at once, none on
    // the application's global pool.
    void jobsNeverWaitUnseen()
    {
        const int count = 2 * QThread::idealThreadCount() + 1;
        std::atomic<bool> onGlobalPool = false;
        QSemaphore arrived, open;
        QList<std::shared_ptr<Job>> jobs;
        for (int i = 0; i < count; ++i)
            jobs << Jobs::runOnce("Creating PDF", "", 0, {}, [&](Job&, auto) -> QStringList {
                if (QThreadPool::globalInstance()->activeThreadCount() > 0) onGlobalPool = true;
                arrived.release();
                if (!open.tryAcquire(1, patience)) throw ConvertError::failed("never released");
                return {};
            });
        QVERIFY(arrived.tryAcquire(count, patience));
        open.release(count);
        for (const auto& job : jobs)
            QTRY_COMPARE_WITH_TIMEOUT(job->state().phase, Job::Phase::done, patience);
        QVERIFY(!onGlobalPool);
    }

    // The detail, the end state, the revealed results (-1: the setting is off) and the history a
    // clean run leaves.
    void run()
    {
        const std::tuple<QString, QString, QString, int> rows[] = {
            {"geese.mov", "geese.mov", "done", 1},
            {"geese.mov", "geese.mov", "done", -1},
            {"fail.mov", "fail.mov", "Can’t read fail.mov", 0},
            {"fail,int,std", "0 of 3 saved", "std: bad_alloc-ish", 0},
            {"oom.mov", "oom.mov", "There wasn’t enough memory to finish: the file is too large", 0},
            {"", "0 of 0 saved", "done", 0},
            {"a,b", "2 of 2 saved", "done", 2},
            {"none", "none", "done", 0},
            // A file that leaves no result is not counted as saved.
            {"a,none", "1 of 2 saved", "done", 1},
            // A cancellation the user never asked for fails that file, and the loop goes on.
            {"a,stop,c", "2 of 3 saved", "stop: The work stopped unexpectedly", 0},
            // A pipe is refused before any work opens it, where reading it would wait for a writer.
            // Of several files the failure names its file, unless its message already does.
            {"a,pipe", "1 of 2 saved", "pipe is a pipe, not a file", 0},
        };
        for (const auto& [names, detail, state, revealed] : rows) {
            init();
            Settings::shared().setRevealInFinder(revealed >= 0);
            const auto job = Jobs::run("Converting to PNG", files(names), {}, fakeWork());
            job->m_started -= std::chrono::seconds(5); // long enough that a clean run is recorded
            QVERIFY(ends(*job));
            QCOMPARE(job->detail(), detail);
            QCOMPARE(describe(job->state()), state);
            QCOMPARE(m_revealed.size() == 1 ? m_revealed.first().size() : 0, std::max(revealed, 0));
            QCOMPARE(Settings::store()->contains("etaHistory"), state == "done");
        }
    }

    // Jobs that share a title keep a timing history per kind of source: a photo's quick compression
    // never tells a film's compression it is nearly done.
    void historyPerKindOfSource()
    {
        const auto photo = Jobs::run("Compressing", files("photo.jpg"), {}, fakeWork());
        photo->m_started -= std::chrono::seconds(2);
        QVERIFY(ends(*photo));
        QCOMPARE(Settings::store()->value("etaHistory").toMap().keys(), QStringList{"Compressing (jpg)"});
        // Started estimating at once: only a source of the same kind finds a history to go by.
        const auto film = Jobs::run("Compressing", files("film.mp4"), {}, fakeWork());
        const auto another = Jobs::run("Compressing", files("another.jpg"), {}, fakeWork());
        QVERIFY(!film->m_smoothed && another->m_smoothed);
        QTRY_VERIFY_WITH_TIMEOUT(!film->isRunning() && !another->isRunning(), patience);
    }

    void runOnceReportsTheWhole()
    {
        const auto job = Jobs::runOnce("Creating PDF", "", 0, {}, [](Job&, auto progress) -> QStringList {
            progress(0.4);
            throw ConvertError::failed("No pages");
        });
        QVERIFY(ends(*job));
        QCOMPARE(job->state(), Job::State::failed("No pages"));
        QCOMPARE(*job->progress(), 0.4);
    }

    // Reports are clamped and published on the main thread's next turn, and only while running.
    void reportClampsAndStopsAtTheEnd()
    {
        const auto job = Job::create("Removing audio", "clip.mov", 0);
        for (auto [reported, published] : {std::pair{1.7, 1.0}, {NAN, 0.0}, {0.25, 0.25}, {-0.2, 0.0}}) {
            job->report(reported);
            QVERIFY(job->progress() != published);
            QCoreApplication::sendPostedEvents(job.get(), QEvent::MetaCall);
            QCOMPARE(job->progress().value_or(-1), published);
        }
        job->finish({}, std::nullopt);
        job->report(0.3);
        QCoreApplication::sendPostedEvents(job.get(), QEvent::MetaCall);
        QCOMPARE(*job->progress(), 1.0);
        job->finish({}, QString("late")); // the state leaves running only once
        QCOMPARE(job->state().phase, Job::Phase::done);
    }
};

QTEST_GUILESS_MAIN(JobTest)
#include "test_jobs.moc"
