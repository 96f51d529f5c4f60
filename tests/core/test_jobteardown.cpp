#include "core/job.h"

#include <QCoreApplication>
#include <QProcess>
#include <QtTest>

// The application object goes while a queued call still holds the last reference to a job, as
// when the tray application quits the moment a job ends. The job must go with it, and the
// process must end rather than wait for ever on Qt's event lock.
class JobTeardownTest : public QObject
{
    Q_OBJECT
  private slots:
    void quittingWithAJobStillQueued()
    {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--child"});
        QVERIFY(child.waitForStarted());
        const bool ended = child.waitForFinished(20000);
        if (!ended) child.kill();
        QVERIFY2(ended, "the process hung while the application object went");
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.readAllStandardOutput(), QByteArray("job gone\n"));
    }
};

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0) {
        {
            QCoreApplication app(argc, argv);
            auto job = Job::create(QStringLiteral("Teardown"), QString(), 0);
            QObject::connect(job.get(), &QObject::destroyed, [] { std::puts("job gone"); });
            QMetaObject::invokeMethod(
                &app, [job] {}, Qt::QueuedConnection);
        }
        return 0;
    }
    QCoreApplication app(argc, argv);
    JobTeardownTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_jobteardown.moc"
