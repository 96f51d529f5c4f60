#include "core/converterror.h"
#include "core/jobs.h"
#include "core/settings.h"

#include <QFile>
#include <QMutex>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <stdexcept>

namespace {

// What the fake work saw, shared with the worker thread.
struct Trace {
    QMutex lock;
    QStringList attempted;
    std::atomic<bool> waiting = false;
};

// Work by file name: "fail…" throws a failure, "stop…" throws a cancellation of its own,
// "wait…" waits for the user's cancel and answers it; anything else reports half way and
// returns one result.
Jobs::FileWork fakeWork(const std::shared_ptr<Trace>& trace)
{
    return [trace](const QString& file, Job& job, const std::function<void(double)>& progress) {
        const QString name = QFileInfo(file).fileName();
        {
            QMutexLocker locker(&trace->lock);
            trace->attempted << name;
        }
        if (name.startsWith("fail")) throw ConvertError::failed("Can’t read " + name);
        if (name.startsWith("stop")) throw ConvertError::cancelled();
        if (name.startsWith("wait")) {
            trace->waiting = true;
            for (int i = 0; i < 1000 && !job.isCancelled(); ++i) QThread::msleep(5);
            job.throwIfCancelled();
        }
        progress(0.5);
        return QStringList{file + ".out"};
    };
}

} // namespace

class JobTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QList<QStringList> m_revealed;

    QStringList files(const QStringList& names)
    {
        QStringList paths;
        for (const QString& name : names) {
            QFile f(m_dir.filePath(name));
            if (f.open(QIODevice::WriteOnly)) f.write(QByteArray(100, 'x'));
            paths << f.fileName();
        }
        return paths;
    }

    // The detail as it stood at every change of the progress.
    static void watch(const std::shared_ptr<Job>& job, QStringList* log)
    {
        QObject::connect(job.get(), &Job::progressChanged, job.get(), [job = job.get(), log] {
            log->append(QString::number(job->progress().value_or(-1), 'f', 3) + " " + job->detail());
        });
    }

    static void ignoreFailure(const QString& path, const QString& message)
    {
        QTest::ignoreMessage(QtWarningMsg, qUtf8Printable(QStringLiteral("Tolvane: %1 failed: %2").arg(path, message)));
    }

    static void waitForEnd(const std::shared_ptr<Job>& job) { QTRY_VERIFY_WITH_TIMEOUT(!job->isRunning(), 5000); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        Jobs::setRevealer([this](const QStringList& paths) { m_revealed << paths; });
    }

    void init()
    {
        Settings::store()->clear();
        Settings::shared().reload();
        Settings::shared().setRevealInFinder(true);
        m_revealed.clear();
    }

    void threeFilesSecondFails()
    {
        const QStringList paths = files({"a.txt", "fail.txt", "c.txt"});
        ignoreFailure(paths[1], "Can’t read fail.txt");
        const auto job = Jobs::run("Converting to PNG", paths, std::nullopt, fakeWork(std::make_shared<Trace>()));
        QCOMPARE(job->detail(), "0 of 3 saved");
        QCOMPARE(job->bytes(), qint64(300));
        job->m_started -= std::chrono::seconds(5); // long enough that a finished run would be recorded
        QStringList log;
        watch(job, &log);
        waitForEnd(job);
        QCOMPARE(log, QStringList({"0.167 0 of 3 saved", "0.333 1 of 3 saved", "0.667 1 of 3 saved",
                                   "0.833 1 of 3 saved", "1.000 2 of 3 saved"}));
        QCOMPARE(job->detail(), "2 of 3 saved");
        QCOMPARE(job->state(), Job::State::failed("Can’t read fail.txt"));
        QCOMPARE(job->results(), QStringList({paths[0] + ".out", paths[2] + ".out"}));
        QVERIFY(m_revealed.isEmpty());
        QVERIFY(!Settings::store()->contains("etaHistory"));
    }

    void detailAndOutcome_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<int>("revealed");
        QTest::newRow("one file keeps its name") << QStringList{"geese.mov"} << "geese.mov" << "" << 1;
        QTest::newRow("one file fails") << QStringList{"fail.mov"} << "fail.mov" << "Can’t read fail.mov" << 0;
        QTest::newRow("all fail") << QStringList{"fail1", "fail2", "fail3"} << "0 of 3 saved" << "Can’t read fail3"
                                  << 0;
        QTest::newRow("empty list") << QStringList{} << "0 of 0 saved" << "" << 0;
        QTest::newRow("all saved") << QStringList{"a", "b"} << "2 of 2 saved" << "" << 2;
        // A cancellation the user never asked for is a failure of that file, and the loop goes on.
        QTest::newRow("stray cancellation") << QStringList{"a", "stop", "c"} << "2 of 3 saved"
                                            << "The work stopped unexpectedly" << 0;
    }

    void detailAndOutcome()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, detail);
        QFETCH(QString, failure);
        QFETCH(int, revealed);
        const QStringList paths = files(names);
        for (const QString& path : paths) {
            const QString name = QFileInfo(path).fileName();
            if (name.startsWith("fail")) ignoreFailure(path, "Can’t read " + name);
            if (name.startsWith("stop")) ignoreFailure(path, "The work stopped unexpectedly");
        }
        const auto trace = std::make_shared<Trace>();
        const auto job = Jobs::run("Converting to PNG", paths, std::nullopt, fakeWork(trace));
        waitForEnd(job);
        QCOMPARE(trace->attempted, names);
        QCOMPARE(job->detail(), detail);
        const Job::State expected = failure.isEmpty() ? Job::State{Job::Phase::done, {}} : Job::State::failed(failure);
        QCOMPARE(job->state(), expected);
        QCOMPARE(m_revealed.size() == 1 ? m_revealed.first().size() : 0, revealed);
    }

    void cancelStopsTheLoop_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("detail");
        QTest::newRow("during the first file") << QStringList{"wait", "b", "c"} << "0 of 3 saved";
        // Files never tried are not counted as saved.
        QTest::newRow("after a save and a failure") << QStringList{"a", "fail", "wait", "d"} << "1 of 4 saved";
    }

    void cancelStopsTheLoop()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, detail);
        const QStringList paths = files(names);
        if (names.contains("fail")) ignoreFailure(paths[names.indexOf("fail")], "Can’t read fail");
        const auto trace = std::make_shared<Trace>();
        const auto job = Jobs::run("Converting to PNG", paths, std::nullopt, fakeWork(trace));
        job->m_started -= std::chrono::seconds(5); // long enough that a finished run would be recorded
        QTRY_VERIFY_WITH_TIMEOUT(trace->waiting, 5000);
        job->cancel();
        waitForEnd(job);
        QCOMPARE(job->state().phase, Job::Phase::cancelled);
        QCOMPARE(trace->attempted, names.mid(0, names.indexOf("wait") + 1));
        QCOMPARE(job->detail(), detail);
        QVERIFY(m_revealed.isEmpty());
        QVERIFY(!Settings::store()->contains("etaHistory"));
    }

    void runOnceOutcome_data()
    {
        QTest::addColumn<int>("throws"); // 0 nothing, 1 failure, 2 standard exception, 3 other, 4 stray cancel
        QTest::addColumn<bool>("cancels");
        QTest::addColumn<bool>("revealSetting");
        QTest::addColumn<int>("resultCount");
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("revealed");
        QTest::newRow("done") << 0 << false << true << 2 << "done" << true;
        QTest::newRow("setting off") << 0 << false << false << 2 << "done" << false;
        QTest::newRow("no results") << 0 << false << true << 0 << "done" << false;
        QTest::newRow("cancelled with results") << 0 << true << true << 2 << "cancelled" << false;
        QTest::newRow("cancel answered") << 1 << true << true << 0 << "cancelled" << false;
        QTest::newRow("conversion error") << 1 << false << true << 0 << "No pages" << false;
        QTest::newRow("standard exception") << 2 << false << true << 0 << "bad_alloc-ish" << false;
        QTest::newRow("anything else") << 3 << false << true << 0 << "The work stopped unexpectedly" << false;
        QTest::newRow("stray cancellation") << 4 << false << true << 0 << "The work stopped unexpectedly" << false;
    }

    void runOnceOutcome()
    {
        QFETCH(int, throws);
        QFETCH(bool, cancels);
        QFETCH(bool, revealSetting);
        QFETCH(int, resultCount);
        QFETCH(QString, state);
        QFETCH(bool, revealed);
        Settings::shared().setRevealInFinder(revealSetting);
        const auto job = Jobs::runOnce("Creating PDF", "2 images", 0, std::nullopt,
                                       [=](Job& job, const std::function<void(double)>& progress) -> QStringList {
                                           progress(0.4);
                                           if (cancels) job.cancel();
                                           if (throws == 1) {
                                               job.throwIfCancelled();
                                               throw ConvertError::failed("No pages");
                                           }
                                           if (throws == 2) throw std::runtime_error("bad_alloc-ish");
                                           if (throws == 3) throw 42;
                                           if (throws == 4) throw ConvertError::cancelled();
                                           return QStringList{"/r/one.pdf", "/r/two.pdf"}.mid(0, resultCount);
                                       });
        job->m_started -= std::chrono::seconds(5); // long enough that a finished run would be recorded
        waitForEnd(job);
        const Job::State s = job->state();
        QCOMPARE(s.phase == Job::Phase::failed ? s.message
                                               : s.phase == Job::Phase::done ? QString("done") : QString("cancelled"),
                 state);
        QCOMPARE(job->progress().value_or(-1), s.phase == Job::Phase::done ? 1.0 : 0.4);
        QCOMPARE(m_revealed.size(), revealed ? 1 : 0);
        if (revealed) QCOMPARE(m_revealed.first(), QStringList({"/r/one.pdf", "/r/two.pdf"}));
        QCOMPARE(Settings::store()->contains("etaHistory"), s.phase == Job::Phase::done);
    }

    void reportClampsAndStopsAtTheEnd_data()
    {
        QTest::addColumn<double>("reported");
        QTest::addColumn<double>("published");
        QTest::newRow("above one") << 1.7 << 1.0;
        QTest::newRow("below zero") << -0.2 << 0.0;
        QTest::newRow("not a number") << std::nan("") << 0.0;
        QTest::newRow("in range") << 0.25 << 0.25;
    }

    void reportClampsAndStopsAtTheEnd()
    {
        QFETCH(double, reported);
        QFETCH(double, published);
        const auto job = Job::create("Removing audio", "clip.mov", 0);
        job->report(reported);
        QVERIFY(!job->progress()); // published on the main thread's next turn
        QTRY_COMPARE(job->progress().value_or(-1), published);
        job->finish({}, std::nullopt);
        job->report(0.3);
        QCoreApplication::sendPostedEvents(job.get(), QEvent::MetaCall);
        QCOMPARE(job->progress().value_or(-1), 1.0);
        job->finish({}, QString("late")); // the state leaves running only once
        QCOMPARE(job->state().phase, Job::Phase::done);
    }

    void presenterSeesEachJob()
    {
        QList<std::pair<Job*, std::optional<QPointF>>> shown;
        Jobs::setPresenter([&](const std::shared_ptr<Job>& job, std::optional<QPointF> at) {
            shown.append({job.get(), at});
            QVERIFY(job->isRunning());
        });
        const auto a = Jobs::run("Converting to PNG", {}, QPointF(10, 20), fakeWork(std::make_shared<Trace>()));
        const auto b = Jobs::runOnce("Creating PDF", "", 0, std::nullopt, [](Job&, const auto&) { return QStringList(); });
        Jobs::setPresenter({});
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].first, a.get());
        QCOMPARE(shown[0].second, QPointF(10, 20));
        QCOMPARE(shown[1].first, b.get());
        QVERIFY(!shown[1].second);
        waitForEnd(a);
        waitForEnd(b);
    }
};

QTEST_GUILESS_MAIN(JobTest)
#include "test_jobs.moc"
