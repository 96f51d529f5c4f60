// The end of a command: background work a window left (here a loader task that runs ffmpeg
// after ffmpeg) is ended with its children before the process goes, none left behind.

#include "cli/gui/endwork.h"
#include "core/shell.h"
#include "toolkit/pools.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

#include "../support/processes.h"

class EndWorkTest : public QObject
{
    Q_OBJECT
  private slots:
    void endsTheChildrenOfBackgroundWork()
    {
        const std::optional<QString> ffmpeg = Shell::find("ffmpeg");
        if (!ffmpeg) QSKIP("ffmpeg is not installed");
        QTemporaryDir dir;
        const QString out = dir.filePath("grab.nut");
        // Like a window's thumbnail grabs: several long children one after another, and a second
        // task queued behind the first.
        for (int task = 0; task < 2; ++task)
            Pools::loader().start([&, ffmpeg = *ffmpeg] {
                for (int grab = 0; grab < 4; ++grab) {
                    Shell::run(ffmpeg, {"-v", "error", "-y", "-re", "-f", "lavfi", "-i",
                                        "testsrc2=s=64x48:r=5:d=600", "-f", "nut", out});
                }
            });
        QTRY_VERIFY_WITH_TIMEOUT(!processesNaming(QFile::encodeName(out)).isEmpty(), 30000);

        QVERIFY(CLI::endBackgroundWork(std::chrono::seconds(30)));
        QCOMPARE(processesNaming(QFile::encodeName(out)), QStringList());
        QCOMPARE(Pools::loader().activeThreadCount(), 0);
    }
};

QTEST_MAIN(EndWorkTest)
#include "test_endwork.moc"
