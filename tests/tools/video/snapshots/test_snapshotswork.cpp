// The Video Snapshots tool's work run for real on a lavfi clip.

#include "../../../support/probedclip.h"
#include "core/job.h"
#include "tools/video/snapshots/snapshotswork.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

class SnapshotsWorkTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    Job m_job{{}, {}, 0};

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase()
    {
        // 640 × 360 at 30 fps with sound, 3 s.
        QVERIFY(makeTrip(path("Trip.mp4")));
    }

    void snapshotsInTimeOrder()
    {
        const QStringList shots = ToolOps::snapshots(path("Trip.mp4"), {2.0, 0.5}, m_job, {});
        QCOMPARE(shots, QStringList({path("Trip Snapshot 1.png"), path("Trip Snapshot 2.png")}));
        QCOMPARE(QImage(shots[0]).size(), QSize(640, 360));
        QCOMPARE(ToolOps::snapshots(path("Trip.mp4"), {1.0}, m_job, {}),
                 QStringList{path("Trip Snapshot.png")});
        QCOMPARE(Fixture::failure([&] { ToolOps::snapshots(path("Trip.mp4"), {9.0}, m_job, {}); }).message(),
                 "Nothing was written");
    }

    // ffmpeg that exits 0 after writing half of the picture: the snapshot fails, saying so, and
    // leaves nothing behind.
    void halfAPictureFails()
    {
        QTemporaryDir bin, folder;
        const QString trip = folder.filePath("Trip.mp4");
        QVERIFY(QFile::copy(path("Trip.mp4"), trip));
        Fixture::write(bin.filePath("ffmpeg"),
                       "#!/bin/bash\n/usr/bin/ffmpeg \"$@\" || exit\n"
                       "truncate -s \"$(( $(stat -c %s \"${@: -1}\") / 2 ))\" \"${@: -1}\"\n");
        QFile::setPermissions(bin.filePath("ffmpeg"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("TOLVANE_SEARCH_PATH", bin.path().toUtf8() + ":/usr/bin:/bin");
        const auto restore = qScopeGuard([] { qunsetenv("TOLVANE_SEARCH_PATH"); });
        QCOMPARE(Fixture::failure([&] { ToolOps::snapshots(trip, {1.0}, m_job, {}); }).message(),
                 "Trip Snapshot.png came out without a whole picture");
        QCOMPARE(Fixture::entries(folder.path()), QStringList{"Trip.mp4"});
    }
};

QTEST_GUILESS_MAIN(SnapshotsWorkTest)
#include "test_snapshotswork.moc"
