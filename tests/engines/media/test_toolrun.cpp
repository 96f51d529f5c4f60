// The steps the tool operations share, on files ffmpeg wrote.

#include "../../support/enginefixtures_a.h"
#include "core/job.h"
#include "engines/media/toolrun.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

class ToolRunTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    // ffmpeg asked for a range past the end writes a file without a moment of sound and exits 0.
    void emptyResultIsRefused()
    {
        QVERIFY(
            Fixture::ffmpeg({"-f", "lavfi", "-i", "sine=f=300:d=4:r=48000", "-ac", "1", path("Talk.m4a")}));
        QVERIFY(Fixture::ffmpeg({"-i", path("Talk.m4a"), "-ss", "7", "-to", "9", path("empty.m4a")}));
        QVERIFY(QFileInfo(path("empty.m4a")).size() > 0);
        QVERIFY(Fixture::ffmpeg(
            {"-f", "lavfi", "-i", "sine", "-t", "0", path("empty.wav")})); // a stream, no sound
        for (const QString name : {"empty.m4a", "empty.wav"})
            QCOMPARE(Fixture::failure([&] { ToolRun::requireContent(path(name), "empty"); }).message(),
                     "empty");
        ToolRun::requireContent(path("Talk.m4a"), "empty");

        // The write that asks for the check fails with its message and commits nothing; without
        // the message the same run is kept.
        Job job{{}, {}, 0};
        const auto pastTheEnd = [&](const QString& temporary) {
            return QStringList{"-i", path("Talk.m4a"), "-ss", "7", "-to", "9", "-c:a", "aac", temporary};
        };
        QCOMPARE(Fixture::failure([&] {
                     ToolRun::write(
                         path("Talk.m4a"), "Cut", 2, job, [](double) {}, pastTheEnd, "past the end");
                 }).message(),
                 "past the end");
        QVERIFY(!QFileInfo::exists(path("Talk Cut.m4a")));
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).filter(".tolvane"), QStringList());
        QCOMPARE(ToolRun::write(
                     path("Talk.m4a"), "Cut", 2, job, [](double) {}, pastTheEnd),
                 QStringList{path("Talk Cut.m4a")});
    }
};

QTEST_GUILESS_MAIN(ToolRunTest)
#include "test_toolrun.moc"
