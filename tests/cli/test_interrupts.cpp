// An interrupted --convert: the running ffmpeg is ended and its hidden temporary file removed
// before the command ends by the signal.

#include "../support/processes.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

constexpr int patience = 30000;

class InterruptsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_clip;

  private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // Long enough that VP9 takes many seconds over it.
        m_clip = m_dir.filePath("clip.mkv");
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc2=s=640x480:r=25:d=30", "-c:v",
                                "libx264", "-preset", "ultrafast", m_clip});
        QVERIFY(ffmpeg.waitForFinished(patience) && ffmpeg.exitCode() == 0);
    }

    void endsTheChildAndRemovesTheTemporaryFile_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
    }

    void endsTheChildAndRemovesTheTemporaryFile()
    {
        QFETCH(int, signal);
        QTemporaryDir dir;
        const QString clip = dir.filePath("clip.mkv");
        QVERIFY(QFile::copy(m_clip, clip));
        QProcess tolvane;
        tolvane.start(TOLVANE_BIN, {"--convert", "webm", clip});
        QVERIFY(tolvane.waitForStarted());
        const QDir folder(dir.path());
        const auto temporary = [&] { return folder.entryList({".tolvane-*"}, QDir::Files | QDir::Hidden); };
        QTRY_VERIFY_WITH_TIMEOUT(!temporary().isEmpty() || tolvane.state() == QProcess::NotRunning, patience);
        QVERIFY2(tolvane.state() == QProcess::Running, tolvane.readAllStandardOutput().constData());
        QVERIFY(::kill(pid_t(tolvane.processId()), signal) == 0);

        QVERIFY(tolvane.waitForFinished(patience));
        // Ended by the signal, as a shell expects of an interrupted command.
        QCOMPARE(tolvane.exitStatus(), QProcess::CrashExit);
        QCOMPARE(tolvane.exitCode(), signal);
        QCOMPARE(tolvane.readAllStandardOutput(), QByteArray("✗ clip.mkv → webm: Cancelled\n"));
        QCOMPARE(folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"clip.mkv"});
        QCOMPARE(processesNaming(QFile::encodeName(dir.path())), QStringList());
    }
};

QTEST_GUILESS_MAIN(InterruptsTest)
#include "test_interrupts.moc"
