#include "core/converterror.h"
#include "core/jobs.h"
#include "core/settings.h"

#include <QtTest>

// Work by file name: "fail…" fails, "std…" and "int…" throw other things, "stop…" throws a
// cancellation nobody asked for, "cancel…" is where the user cancels, "none…" saves nothing;
// anything else reports half way and saves one result.
static Jobs::FileWork fakeWork()
{
    return [](const QString& file, Job& job, const std::function<void(double)>& progress) {
        const QString name = QFileInfo(file).fileName();
        if (name.startsWith("fail")) throw ConvertError::failed("Can’t read " + name);
        if (name.startsWith("std")) throw std::runtime_error("bad_alloc-ish");
        if (name.startsWith("int")) throw 42;
        if (name.startsWith("stop")) throw ConvertError::cancelled();
        if (name.startsWith("cancel")) {
            job.cancel();
            job.throwIfCancelled();
        }
        progress(0.5);
        return name.startsWith("none") ? QStringList() : QStringList{file + ".out"};
    };
}

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

    // Files of 100 bytes each, named in a comma-separated list; the warning of each file the fake
    // work fails is expected.
    QStringList files(const QString& names)
    {
        QStringList paths;
        for (const QString& name : names.split(',', Qt::SkipEmptyParts)) {
            QFile f(m_dir.filePath(name));
            if (f.open(QIODevice::WriteOnly)) f.write(QByteArray(100, 'x'));
            paths << f.fileName();
            if (name.contains(QRegularExpression("^(fail|std|int|stop)")))
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

    void threeFilesSecondFails()
    {
        const QStringList paths = files("a.txt,fail.txt,c.txt");
        const auto job = Jobs::run("Converting to PNG", paths, QPointF(10, 20), fakeWork());
        QCOMPARE(m_shownAt.value_or(QPointF()), QPointF(10, 20));
        // The detail at each step of the progress: 0, 1, 1 and 2 of 3 saved as the files end.
        QStringList log{job->detail()};
        connect(job.get(), &Job::progressChanged, job.get(),
                [&] { log << QString::number(*job->progress(), 'f', 3) + " " + job->detail(); });
        QVERIFY(ends(*job));
        QCOMPARE(log, QStringList({"0 of 3 saved", "0.167 0 of 3 saved", "0.333 1 of 3 saved",
                                   "0.667 1 of 3 saved", "0.833 1 of 3 saved", "1.000 2 of 3 saved"}));
        QCOMPARE(job->state(), Job::State::failed("Can’t read fail.txt"));
        QCOMPARE(job->results(), QStringList({paths[0] + ".out", paths[2] + ".out"}));
    }

    void run_data()
    {
        QTest::addColumn<QString>("names");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("revealed"); // -1: the setting is off
        QTest::newRow("one file") << "geese.mov"
                                  << "geese.mov"
                                  << "done" << 1;
        QTest::newRow("setting off") << "geese.mov"
                                     << "geese.mov"
                                     << "done" << -1;
        QTest::newRow("one fails") << "fail.mov"
                                   << "fail.mov"
                                   << "Can’t read fail.mov" << 0;
        QTest::newRow("all fail") << "fail,int,std"
                                  << "0 of 3 saved"
                                  << "bad_alloc-ish" << 0;
        QTest::newRow("empty list") << ""
                                    << "0 of 0 saved"
                                    << "done" << 0;
        QTest::newRow("all saved") << "a,b"
                                   << "2 of 2 saved"
                                   << "done" << 2;
        QTest::newRow("no results") << "none"
                                    << "none"
                                    << "done" << 0;
        // A cancellation the user never asked for fails that file, and the loop goes on.
        QTest::newRow("stray cancel") << "a,stop,c"
                                      << "2 of 3 saved"
                                      << "The work stopped unexpectedly" << 0;
        // Files a cancel left untried are not counted as saved; what was saved is not revealed.
        QTest::newRow("cancel later") << "a,fail,cancel,d"
                                      << "1 of 4 saved"
                                      << "cancelled" << 0;
    }

    void run()
    {
        QFETCH(QString, names);
        QFETCH(QString, detail);
        QFETCH(QString, state);
        QFETCH(int, revealed);
        Settings::shared().setRevealInFinder(revealed >= 0);
        const auto job = Jobs::run("Converting to PNG", files(names), {}, fakeWork());
        job->m_started -= std::chrono::seconds(5); // long enough that a clean run is recorded
        QVERIFY(ends(*job));
        QCOMPARE(job->detail(), detail);
        QCOMPARE(describe(job->state()), state);
        QCOMPARE(m_revealed.size() == 1 ? m_revealed.first().size() : 0, std::max(revealed, 0));
        QCOMPARE(Settings::store()->contains("etaHistory"), state == "done");
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
